// SPDX-License-Identifier: GPL-3.0-or-later
// The site's open data: the store's totals as JSON files beside the pages,
// for anyone's own tools.
//
//   daten/spieler.json  [{"id", "name", "kills", "tode", "headshots", "skill",
//                         "sekunden", "zuletzt": "YYYY-MM-DD"}, ...] by id
//   daten/karten.json   [{"karte", "sekunden", "starts", "kills", "headshots",
//                         "spieler"}, ...] by name
//   daten/tage.json     [{"tag": "YYYY-MM-DD", "spieler", "kills", "headshots",
//                         "sekunden"}, ...] oldest first
//
// Bots are left out, as in the rankings; "skill" is the skill value over all
// days of the store (see PeriodSkill).
#pragma once

#include <string>

#include "report/history_view.h"

namespace varnokel {

std::string PlayersJson(const HistoryView& view);
std::string MapsJson(const HistoryView& view);
std::string DaysJson(const HistoryView& view);

}  // namespace varnokel
