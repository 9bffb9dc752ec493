// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/player_cache.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "base/file_io.h"
#include "db/player_file.h"

namespace varnokel {

size_t IdHash(std::string_view id) {
  return std::hash<std::string_view>{}(id);
}

PlayerCache::PlayerCache(const std::filesystem::path& dir, const std::string& reference_line)
    : dir_(dir), reference_line_(reference_line), slots_(kFirstSlots, 0) {}

PlayerCache::Entry& PlayerCache::Find(std::string_view id, size_t hash) {
  size_t slot = hash & SlotMask();
  for (; slots_[slot] != 0; slot = (slot + 1) & SlotMask()) {
    Entry& entry = entries_[slots_[slot] - 1];
    if (entry.hash == hash && entry.id == id) return entry;
  }
  Entry entry;
  entry.id = id;
  entry.hash = hash;
  const std::filesystem::path path = PlayerFilePath(dir_, id);
  entry.name = path.filename().string();
  entry.existed = entry.exists = PlayerFileExists(path);
  if (entry.exists) entry.record = RecordFromFields(ReadPlayerFile(path));
  entries_.push_back(std::move(entry));
  slots_[slot] = static_cast<uint32_t>(entries_.size());
  if (entries_.size() * 2 > slots_.size()) Rehash();
  return entries_.back();
}

void PlayerCache::Entered(Entry& entry, const LineEvents& e) {
  if (entry.exists) {
    ApplyEntered(entry.record, e.id, e.date, e.time, e.name);
  } else {
    entry.record = NewRecord(e.id, e.date, e.time, e.name);
  }
  Changed(entry);
}

void PlayerCache::Increment(Entry& entry, std::string_view id, int index) {
  if (!entry.exists) entry.record = UnknownRecord(id, reference_line_);
  ApplyIncrement(entry.record, index);
  Changed(entry);
}

void PlayerCache::Disconnected(Entry& entry, const LineEvents& e) {
  if (!entry.exists) return;  // never seen: no session start known
  ApplyDisconnected(entry.record, e.id, e.date, e.time, e.name);
  Changed(entry);
}

std::vector<const PlayerCache::Entry*> PlayerCache::ChangedEntries() const {
  std::vector<const Entry*> changed;
  for (const Entry& entry : entries_) {
    if (entry.changed) changed.push_back(&entry);
  }
  std::sort(changed.begin(), changed.end(),
            [](const Entry* a, const Entry* b) { return a->name < b->name; });
  return changed;
}

void PlayerCache::StartRun() {
  created_ = 0;
  for (Entry& entry : entries_) entry.store_number = StoreFold::kNoName;
}

void PlayerCache::Committed() {
  for (Entry& entry : entries_) {
    if (!entry.changed) continue;
    entry.record = RecordFromFields(SplitFields(CutAtNul(SerializeRecord(entry.record))));
    entry.existed = entry.exists = true;
    entry.changed = false;
  }
}

void PlayerCache::Changed(Entry& entry) {
  if (!entry.existed && !entry.changed) ++created_;
  entry.exists = true;
  entry.changed = true;
}

void PlayerCache::Rehash() {
  slots_.assign(slots_.size() * 2, 0);
  for (size_t i = 0; i < entries_.size(); ++i) {
    size_t slot = entries_[i].hash & SlotMask();
    while (slots_[slot] != 0) slot = (slot + 1) & SlotMask();
    slots_[slot] = static_cast<uint32_t>(i + 1);
  }
}

}  // namespace varnokel
