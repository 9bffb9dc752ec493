// One page per player: name, skill, kills per weapon with share bars, playing
// time and the counters of his behaviour in the game.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "report/player_listing.h"

namespace varnokel {

std::string PlayerPage(const ListedPlayer& player);

// True for the stems whose page would replace a table of the site ("st",
// "se", "sp", "wt"): a player file named like that gets no page of its own.
bool IsReservedPageStem(std::string_view stem);

// Writes html_dir + "/" + stem + ".htm" for every player in listing order.
// Throws FileError naming the page that cannot be written; pages written
// before stay.
void WritePlayerPages(const std::filesystem::path& html_dir, const PlayerListing& listing);

}  // namespace varnokel
