// SPDX-License-Identifier: GPL-3.0-or-later
// The search of the site without a server: suche.htm finds a player by any
// part of any name he used, or by his id, from an index the report run
// writes as script files (loaded by a script element, which works from
// file:// as on a web server, where fetching a data file would not).
//
// The index is split into kSearchShards files daten/suche/<n>.js. A player
// is in the shard of every pair of neighbouring characters of every name he
// used (letters A-Z folded to a-z) and of his id's last part (after the last
// ":"; a trailing "]" dropped). A search for a text of two characters or more
// loads the one shard of its first two characters (of the id's last part,
// when the text holds a ":") and filters it, so the page loads one small
// file before the first result whatever the number of players. The shard of
// a pair is FNV-1a (32 bit) of its UTF-8 bytes modulo kSearchShards; the
// page's script computes the same.
//
// A shard without players is not written. Each shard is one call:
// varnokelSuche(<n>, [[<id>, <name>, <other names>...], ...]); the page
// makes the file name of a player's page from his id as SafeFileStem does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/history_view.h"

namespace varnokel {

inline constexpr uint32_t kSearchShards = 256;

// The shard of a pair of characters (their UTF-8 bytes, letters folded).
uint32_t SearchShardOf(std::string_view pair);

// The shards of every player: entry lists by shard number.
std::vector<std::vector<uint32_t>> SearchShards(const HistoryView& view);

// The text of shard `shard` holding `players`.
std::string SearchShardText(const HistoryView& view, uint32_t shard,
                            const std::vector<uint32_t>& players);

std::string SearchShardName(uint32_t shard);  // "daten/suche/<n>.js"

// The page suche.htm with its script.
std::string SearchPage();

}  // namespace varnokel
