// SPDX-License-Identifier: GPL-3.0-or-later
// Whole-database commands: listing, one player's details, deletion.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

// The entries of the database folder, files and folders but no symbolic
// links, whose names do not begin with ".", sorted by unsigned bytes. A
// missing folder lists nothing.
std::vector<std::string> ListPlayers(const std::filesystem::path& database_dir);

// The 26 player details shown in the window, in the order of the window's
// group "Spieler Informationen": the label shown beside each and the player
// file field it shows.
struct DetailSlot {
  std::string_view label;
  int field;
};
inline constexpr int kDetailCount = 26;
extern const std::array<DetailSlot, kDetailCount> kDetailSlots;

using PlayerDetails = std::array<std::string, kDetailCount>;

// Reads database_dir + "/" + entry and returns its 26 detail fields, exactly as
// the file holds them. Throws FileError(kOpen) naming the file.
PlayerDetails ReadPlayerDetails(const std::filesystem::path& database_dir, std::string_view entry);

// Deletes every entry not beginning with "." that can be deleted as a file,
// and the ledger; folders and files that cannot be deleted are left without a
// message. The caller holds the database's write lock.
void DeleteDatabase(const std::filesystem::path& database_dir);

}  // namespace varnokel
