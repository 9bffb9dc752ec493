// SPDX-License-Identifier: GPL-3.0-or-later
// The player list "sp.htm": every player in order of his shown name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "report/page_input.h"
#include "report/page_output.h"
#include "report/player_listing.h"

namespace varnokel {

// The order the list shows `names` in: the permutation that this exchange
// sort produces, comparing names as unsigned bytes:
//   for i in 0..n-1: for j in i..n-1: if name[j] < name[i]: swap(i, j)
// Element k of the result is the listing position of the k-th row. The sort
// is not stable, and the list keeps exactly its order among equal names.
std::vector<size_t> PlayerListOrder(const std::vector<std::string_view>& names);

// Appends the page to `page`, whose capacity a run keeps from page to page;
// `texts` are those of `listing`.
void AppendPlayerListPage(PageOutput& out, const PlayerListing& listing, const ListedTexts& texts);
inline std::string PlayerListPage(const PlayerListing& listing) {
  std::string page;
  PageOutput out(page);
  AppendPlayerListPage(out, listing, ListedTexts(listing));
  return page;
}

// Everything the player list shows: each player's id and name in listing
// order (the exchange sort's order depends on it), that is `names`
// (ListedNamesInput).
Fingerprint PlayerListInput(const Fingerprint& names);

}  // namespace varnokel
