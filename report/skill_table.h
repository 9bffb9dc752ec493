// SPDX-License-Identifier: GPL-3.0-or-later
// The skill table "st.htm": every player with place and skill value, best first.
#pragma once

#include <string>

#include "report/page_input.h"
#include "report/page_output.h"
#include "report/player_listing.h"

namespace varnokel {

// Appends the page to `page`, whose capacity a run keeps from page to page;
// `texts` are those of `listing`.
void AppendSkillTablePage(PageOutput& out, const PlayerListing& listing, const ListedTexts& texts);
inline std::string SkillTablePage(const PlayerListing& listing) {
  std::string page;
  PageOutput out(page);
  AppendSkillTablePage(out, listing, ListedTexts(listing));
  return page;
}

// Everything the skill table shows: each player's id and name (`names`,
// ListedNamesInput) and skill, in listing order (the order of equal skills).
Fingerprint SkillTableInput(const PlayerListing& listing, const Fingerprint& names);

}  // namespace varnokel
