// SPDX-License-Identifier: GPL-3.0-or-later
// The search of the site without a server: suche.htm finds a player by any
// part of any name he used, or by his id, from an index the report run
// writes as script files (loaded by a script element, which works from
// file:// as on a web server, where fetching a data file would not).
//
// The index lists players under keys: the first characters of what is
// typed (letters A-Z folded to a-z; of the id's last part, after the last
// ":" and without a trailing "]", when the text holds a ":"). Every run of
// two neighbouring characters of every name a player used and of his id's
// last part is a key listing every player whose texts hold it. A key held by
// more players than a search needs to look through lists only the first
// kSearchHits of them (all a search for exactly that key shows), and its
// runs one character longer are keys of their own, and so on; a search walks
// from the key of its first two characters to longer ones until it finds a
// key that lists all its players, or one as long as the text, and filters
// that list. So a search loads a few small files, whatever the number of
// players.
//
// The keys are spread over daten/suche/<n>.js by FNV-1a (32 bit) of their
// UTF-8 bytes modulo the number of files, which suche.htm names; its script
// computes the same. A file without keys is not written. Each file is one
// call: varnokelSuche(<n>, {<key>: [<1 when the list is cut short, else 0>,
// [[<id>, <name>, <other names>...], ...]], ...}); the page makes the file
// name of a player's page from his id as SafeFileStem does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "report/history_view.h"

namespace varnokel {

// The most players a search shows.
inline constexpr size_t kSearchHits = 50;

struct SearchIndex {
  uint32_t files = 0;              // the number of files the keys are spread over
  std::vector<std::string> texts;  // the text of each file by number, empty for one without keys
};

// The index of the players of `view`; a key held by more than
// `full_list_limit` players lists only the first kSearchHits of them.
SearchIndex BuildSearchIndex(const HistoryView& view, size_t full_list_limit);
// The limit the site uses: a key's list stays well under 100 kB.
inline constexpr size_t kSearchFullListLimit = 400;

// The file of a key (its UTF-8 bytes, letters folded) among `files`.
uint32_t SearchFileOf(std::string_view key, uint32_t files);

std::string SearchFileName(uint32_t file);  // "daten/suche/<n>.js"

// The page suche.htm with its script, for an index spread over `files`.
std::string SearchPage(uint32_t files);

}  // namespace varnokel
