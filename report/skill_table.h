// The skill table "st.htm": every player with place and skill value, best first.
#pragma once

#include <string>

#include "report/page_input.h"
#include "report/player_listing.h"

namespace varnokel {

std::string SkillTablePage(const PlayerListing& listing);

// Everything the skill table shows: each player's id, name and skill, in
// listing order (the order of equal skills).
Fingerprint SkillTableInput(const PlayerListing& listing);

}  // namespace varnokel
