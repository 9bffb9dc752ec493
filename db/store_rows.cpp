#include "db/store_rows.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <limits>

namespace varnokel {

int64_t StoreRow::Int(int column) const {
  return sqlite3_column_int64(statement_, column);
}

bool StoreRow::IsNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string_view StoreRow::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
  if (text == nullptr) return {};
  return {text, static_cast<size_t>(sqlite3_column_bytes(statement_, column))};
}

namespace {

// Reads a number (no count is below 0) followed by ':' or ';' from the front
// of `text`; returns that character, or 0 when there is none.
char TakeNumber(std::string_view& text, int64_t& value) {
  const char* end = text.data() + text.size();
  const auto [after, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || value < 0 || after == end || (*after != ':' && *after != ';'))
    return 0;
  text.remove_prefix(static_cast<size_t>(after - text.data()) + 1);
  return *after;
}

// A sum of two counts, at most the largest 64-bit number: only a store
// edited by hand holds counts that large.
int64_t SumOfCounts(int64_t a, int64_t b) {
  int64_t sum = 0;
  return __builtin_add_overflow(a, b, &sum) ? std::numeric_limits<int64_t>::max() : sum;
}

}  // namespace

bool ParseWeaponEntries(std::string_view text, std::vector<WeaponEntry>& entries) {
  while (!text.empty()) {
    WeaponEntry entry;
    if (TakeNumber(text, entry.weapon) != ':') return false;
    const char after_kills = TakeNumber(text, entry.kills);
    if (after_kills == 0 || (after_kills == ':' && TakeNumber(text, entry.headshots) != ';'))
      return false;
    entries.push_back(entry);
  }
  return true;
}

std::string FormatWeaponEntries(std::vector<WeaponEntry> entries) {
  std::sort(entries.begin(), entries.end(),
            [](const WeaponEntry& a, const WeaponEntry& b) { return a.weapon < b.weapon; });
  std::string text;
  char digits[24];
  auto append = [&](int64_t number, char separator) {
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    text.append(digits, end).push_back(separator);
  };
  for (size_t i = 0; i < entries.size();) {
    WeaponEntry sum = entries[i];
    for (++i; i < entries.size() && entries[i].weapon == sum.weapon; ++i) {
      sum.kills = SumOfCounts(sum.kills, entries[i].kills);
      sum.headshots = SumOfCounts(sum.headshots, entries[i].headshots);
    }
    append(sum.weapon, ':');
    append(sum.kills, sum.headshots != 0 ? ':' : ';');
    if (sum.headshots != 0) append(sum.headshots, ';');
  }
  return text;
}

FileError DamagedWeaponsError(const std::filesystem::path& store) {
  return FileError(FileError::Kind::kOpen, store,
                   "Ereignisdatenbank: besch\xC3\xA4"
                   "digte Waffenzeile");
}

}  // namespace varnokel
