// SPDX-License-Identifier: GPL-3.0-or-later
// What every history page needs from the store's rows, worked out once per
// report run: current names, each player's rows, the day the site is written.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "report/history_stats.h"
#include "report/site_history.h"

namespace varnokel {

struct HistoryView {
  HistoryView(const SiteHistory& history, std::time_t now);

  const SiteHistory& history;
  std::time_t now;
  std::string stand;               // "07.12.2026, 18:04" (before `today`, whose making fills it)
  DayNumber today = 0;             // the local day of `now`
  std::vector<std::string> names;  // current name by player
  std::vector<std::vector<uint32_t>> player_days;  // indices into history.days, by player
  std::vector<std::vector<uint32_t>> player_weapons;
  std::vector<std::vector<uint32_t>> player_names;
  std::vector<std::vector<uint32_t>> player_sessions;  // oldest first
};

// A link to a player's history page from a page `up` below the site folder,
// with his current name as the text.
void AppendPlayerLink(std::string& out, const HistoryView& view, uint32_t player,
                      std::string_view up);
// A link to a map's page; the map without a name reads "(ohne Karte)".
void AppendMapLink(std::string& out, std::string_view map, std::string_view up);
std::string MapLabel(std::string_view map);

// A table head row of color2 cells; a label beginning with '#' is a number
// column, one beginning with '~' a column that narrow screens leave out.
void AppendTableHead(std::string& out, std::initializer_list<std::string_view> labels);
void AppendNumberCell(std::string& out, int64_t value);
void AppendTextCell(std::string& out, std::string_view escaped_html, bool wide_only = false);
// A cell of `text` (escaped here).
void AppendEscapedTextCell(std::string& out, std::string_view text, bool wide_only = false);

// The ranking table of the players' totals (place, player, skill, kills,
// deaths, headshot share), at most `rows` of them.
void AppendSkillRanking(std::string& out, const HistoryView& view,
                        const std::vector<PlayerTotals>& ranked, size_t rows, std::string_view up);

// The sessions `indices` (into history.sessions), newest first, at most `rows`.
void AppendSessionTable(std::string& out, const HistoryView& view,
                        const std::vector<uint32_t>& indices, size_t rows, std::string_view up);

}  // namespace varnokel
