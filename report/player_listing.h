// SPDX-License-Identifier: GPL-3.0-or-later
// The players of one database as every page of the site sees them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/player_file.h"
#include "report/page_input.h"

namespace varnokel {

// One player file of the database, read whole. The texts and numbers the
// tables show are taken out once, and made page text once for the 27 tables
// that show them; the player page splits `bytes` again when it is written, so
// that a large database is not held as 44 texts a player.
struct ListedPlayer {
  std::string stem;        // entry name without ".db": the name of the player's page
  std::string bytes;       // the file's text, cut at a NUL byte
  std::string id;          // field 0, the target of every link to the player's page
  std::string name;        // field 3
  std::string link;        // `id` as a link target (PercentEncode)
  std::string shown_name;  // `name` as page text (PageText)
  int32_t skill = 0;
  int32_t play_time = 0;                             // field 19, seconds
  std::array<int32_t, kWeaponCount> weapon_kills{};  // fields 20..43
};

using PlayerListing = std::vector<ListedPlayer>;

// The link target and shown name of every player in listing order, side by
// side in one block. A ranked table visits the players in the order of their
// values; it finds their texts close together here (a few megabytes for
// 100 000 players) instead of spread over the listing and the heap.
class ListedTexts {
 public:
  explicit ListedTexts(const PlayerListing& listing);
  std::string_view Link(size_t index) const { return Piece(2 * index); }
  std::string_view ShownName(size_t index) const { return Piece(2 * index + 1); }

  // The rows of a table name the players in no order the cache foresees: a
  // weapon page of 100 000 rows would spend most of its time waiting for
  // their texts. So the writer of row `row` has the texts of later rows
  // fetched meanwhile, first where they are, then the texts themselves.
  // `index_at(j)` is the listing position of the player of row j < `rows`.
  // Always inlined: a call to a function that only fetches counts as having
  // no effect, and the compiler drops it.
  template <typename IndexAt>
  [[gnu::always_inline]] void FetchAhead(size_t row, size_t rows, IndexAt index_at) const {
    if (row + kFetchPlaceAhead < rows)
      __builtin_prefetch(&starts_[2 * index_at(row + kFetchPlaceAhead)]);
    if (row + kFetchTextAhead < rows)
      __builtin_prefetch(block_.data() + starts_[2 * index_at(row + kFetchTextAhead)]);
  }

 private:
  std::string_view Piece(size_t k) const {
    return std::string_view(block_).substr(starts_[k], starts_[k + 1] - starts_[k]);
  }

  // Rows ahead, as many as the processor keeps fetches in flight (measured).
  static constexpr size_t kFetchPlaceAhead = 64;
  static constexpr size_t kFetchTextAhead = 32;

  std::string block_;
  std::vector<size_t> starts_;  // where each piece begins, and the end of the last
};

// The entry names of `database_dir` that are players: regular files (not
// symbolic links) whose names end in ".db" and do not begin with ".", in
// ListEntryNames order (by unsigned bytes). Folders and other files are not
// players and are passed over.
std::vector<std::string> PlayerEntryNames(const std::filesystem::path& database_dir);

// The listing entry of a player file named `stem` + ".db" holding `bytes`.
ListedPlayer ListedPlayerOf(std::string stem, std::string bytes);

// Every player of the database, in listing order, each file read whole (cut
// at a NUL byte). Throws FileError naming the first player file that cannot
// be read; nothing is written by this.
PlayerListing BuildPlayerListing(const std::filesystem::path& database_dir);

// The fingerprint of every player's id and name in listing order: all the
// tables show of a player besides the one value each ranks him by.
Fingerprint ListedNamesInput(const PlayerListing& listing);

}  // namespace varnokel
