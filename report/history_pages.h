// SPDX-License-Identifier: GPL-3.0-or-later
// The site's pages beyond the player files' tables, made from the event
// store: the overview (index.html), the maps (karten.htm, karten/), the
// history with weekly and monthly rankings (verlauf.htm), a page per player
// (spieler/), the search (suche.htm with its index in daten/suche/) and the
// open data (daten/*.json).
#pragma once

#include <string>

#include "report/history_view.h"

namespace varnokel {

std::string OverviewPage(const HistoryView& view);
std::string MapsPage(const HistoryView& view);
std::string MapPage(const HistoryView& view, uint32_t map);
std::string HistoryPageText(const HistoryView& view);
// Appends the page of `player` to `out`.
void AppendPlayerHistoryPage(std::string& out, const HistoryView& view, uint32_t player);

}  // namespace varnokel
