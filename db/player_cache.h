// SPDX-License-Identifier: GPL-3.0-or-later
// The player files of one database as an update run makes them: each file is
// read once, on the first event for its player; nothing is written until the
// commit, which writes each changed file once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/player_record.h"
#include "db/store_fold.h"
#include "log/line_events.h"

namespace varnokel {

// The hash the player cache finds an id by; the analysis threads work it out.
size_t IdHash(std::string_view id);

class PlayerCache {
 public:
  struct Entry {
    std::string id;
    size_t hash = 0;   // IdHash(id)
    std::string name;  // the file's name in the database folder
    PlayerRecord record;
    uint32_t store_number = StoreFold::kNoName;  // the player's number in the event store's fold
    bool existed = false;                        // on disk before the run
    bool exists = false;                         // on disk before the run, or created by it
    bool changed = false;
  };

  // Players met for the first time without an entered line take their first
  // date and time from `reference_line`; both arguments must outlive the cache.
  PlayerCache(const std::filesystem::path& dir, const std::string& reference_line);

  // The entry of the player `id` (whose IdHash is `hash`), reading the file on
  // the first call. Throws FileError naming the file when it cannot be read
  // (a folder, a symbolic link, ...).
  Entry& Find(std::string_view id, size_t hash);

  void Entered(Entry& entry, const LineEvents& e);

  // The event that creates a player's file counts like every later one.
  void Increment(Entry& entry, std::string_view id, int index);

  void Disconnected(Entry& entry, const LineEvents& e);

  // The changed entries, in the order of their file names.
  std::vector<const Entry*> ChangedEntries() const;

  // Player files the run creates.
  size_t created() const { return created_; }

  // For a cache kept from one run to the next (the listener's folds, every
  // second, which then read a player's file once rather than every second):
  // a run starts on the entries of the last, whose changes were committed,
  // and after its own commit each changed entry holds exactly what a fresh
  // read of its file gives.
  void StartRun();
  void Committed();
  size_t size() const { return entries_.size(); }

 private:
  void Changed(Entry& entry);
  // Twice as many slots, every entry placed anew.
  void Rehash();
  size_t SlotMask() const { return slots_.size() - 1; }

  static constexpr size_t kFirstSlots = 1024;  // a power of two

  const std::filesystem::path& dir_;
  const std::string& reference_line_;
  std::deque<Entry> entries_;    // in the order met; a deque keeps them in place
  std::vector<uint32_t> slots_;  // open addressing by hash: entry number + 1, 0 for none
  size_t created_ = 0;
};

}  // namespace varnokel
