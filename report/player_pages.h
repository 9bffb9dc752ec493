// SPDX-License-Identifier: GPL-3.0-or-later
// One page per player: name, skill, kills per weapon with share bars, playing
// time and the counters of his behaviour in the game.
#pragma once

#include <string>
#include <string_view>

#include "report/page_input.h"
#include "report/player_listing.h"

namespace varnokel {

std::string PlayerPage(const ListedPlayer& player);

// Everything the player's page shows: his file's bytes.
Fingerprint PlayerPageInput(const ListedPlayer& player);

// The file name of the player's page: stem + ".htm".
std::string PlayerPageName(const ListedPlayer& player);

// True for the stems whose page would replace a table of the site ("st",
// "se", "sp", "wt"): a player file named like that gets no page of its own.
bool IsReservedPageStem(std::string_view stem);

}  // namespace varnokel
