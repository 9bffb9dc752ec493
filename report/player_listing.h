// The players of one database as every page of the site sees them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/player_file.h"

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

// The entry names of `database_dir` that are players: regular files (not
// symbolic links) whose names end in ".db" and do not begin with ".", in ListEntryNames order (by
// unsigned bytes). Folders and other files are not players and are passed over.
std::vector<std::string> PlayerEntryNames(const std::filesystem::path& database_dir);

// The listing entry of a player file named `stem` + ".db" holding `bytes`.
ListedPlayer ListedPlayerOf(std::string stem, std::string bytes);

// Reads one player file whole (cut at a NUL byte) into a listing entry.
// Throws FileError naming the file when it cannot be read.
ListedPlayer ReadListedPlayer(const std::filesystem::path& database_dir,
                              const std::string& entry_name);

// Every player of the database, in listing order. Throws FileError naming the
// first player file that cannot be read; nothing is written by this.
PlayerListing BuildPlayerListing(const std::filesystem::path& database_dir);

}  // namespace varnokel
