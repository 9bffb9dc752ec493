// SPDX-License-Identifier: GPL-3.0-or-later
// The event store's rows as the report reads them: numbers as numbers and
// texts in place, none written out as text and parsed back, and the packed
// weapons of a player's day taken apart here rather than by SQL.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"

struct sqlite3_stmt;

namespace varnokel {

// The current row of a query; valid only inside the callback it is handed to.
class StoreRow {
 public:
  explicit StoreRow(sqlite3_stmt* statement) : statement_(statement) {}

  int64_t Int(int column) const;
  bool IsNull(int column) const;
  // The column's bytes (empty for NULL), valid until the next row.
  std::string_view Text(int column) const;

 private:
  sqlite3_stmt* statement_;
};

// One weapon of a player's day: its number in the store and its counts.
struct WeaponEntry {
  int64_t weapon = 0;
  int64_t kills = 0;
  int64_t headshots = 0;
};

// The entries of a packed weapons text ("<weapon>:<kills>[:<headshots>];"
// for each weapon), appended to `entries` in their order. False when the
// text is not such a list (a number below 0 included); `entries` then holds
// the entries before the fault.
bool ParseWeaponEntries(std::string_view text, std::vector<WeaponEntry>& entries);

// The packed weapons text of `entries`: by weapon number, the counts of a
// weapon listed twice added up (a sum beyond 64 bits stays at the largest).
std::string FormatWeaponEntries(std::vector<WeaponEntry> entries);

// The failure for a packed weapons text that is no such list, naming the store.
FileError DamagedWeaponsError(const std::filesystem::path& store);

}  // namespace varnokel
