// The skill table "st.htm": every player with place and skill value, best first.
#pragma once

#include <string>

#include "report/player_listing.h"

namespace varnokel {

std::string SkillTablePage(const PlayerListing& listing);

}  // namespace varnokel
