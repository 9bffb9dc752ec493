// SPDX-License-Identifier: GPL-3.0-or-later
// A table page that ranks every player by one number of his (the skill
// table and the sessions table): place, linked name and the number's text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "report/page_frame.h"
#include "report/page_input.h"
#include "report/page_output.h"
#include "report/page_template.h"
#include "report/player_listing.h"

namespace varnokel {

struct RankedPlayerTable {
  Page page;                // whose head the page opens with
  const PageTemplate& row;  // slots: place, id, name and the value
  int32_t (*value)(const ListedPlayer&);
  std::string (*value_text)(int32_t);
  std::string_view name;  // of the page's input, for its fingerprint
};

// Appends the page to `out`; `texts` are those of `listing`.
void AppendRankedPlayerTablePage(PageOutput& out, const PlayerListing& listing,
                                 const ListedTexts& texts, const RankedPlayerTable& table);

// Everything the page shows: each player's id and name (`names`,
// ListedNamesInput) and value, in listing order (the order of equal values).
Fingerprint RankedPlayerTableInput(const PlayerListing& listing, const Fingerprint& names,
                                   const RankedPlayerTable& table);

}  // namespace varnokel
