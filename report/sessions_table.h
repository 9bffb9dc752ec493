// SPDX-License-Identifier: GPL-3.0-or-later
// The sessions table "se.htm": every player ranked by total playing time.
#pragma once

#include <cstdint>
#include <string>

#include "report/page_input.h"
#include "report/page_output.h"
#include "report/player_listing.h"

namespace varnokel {

// Hours without leading zeros, minutes and seconds with two digits: 3725
// seconds give "1:02:05". A negative time (a damaged file) is shown as "-"
// and the time of its magnitude.
std::string SessionTimeText(int32_t seconds);

// Hours, minutes and seconds each with at least two digits, as the player
// page shows the playing time: 3725 seconds give "01:02:05".
std::string PlayerTimeText(int32_t seconds);

// Appends the page to `page`, whose capacity a run keeps from page to page;
// `texts` are those of `listing`.
void AppendSessionsTablePage(PageOutput& out, const PlayerListing& listing,
                             const ListedTexts& texts);
inline std::string SessionsTablePage(const PlayerListing& listing) {
  std::string page;
  PageOutput out(page);
  AppendSessionsTablePage(out, listing, ListedTexts(listing));
  return page;
}

// Everything the sessions table shows: each player's id and name (`names`,
// ListedNamesInput) and playing time, in listing order.
Fingerprint SessionsTableInput(const PlayerListing& listing, const Fingerprint& names);

}  // namespace varnokel
