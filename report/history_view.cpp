#include "report/history_view.h"

#include <algorithm>

#include "report/history_frame.h"
#include "report/html_escape.h"
#include "report/number_text.h"

namespace varnokel {

namespace {

constexpr std::string_view kNoMapLabel = "(ohne Karte)";
constexpr std::string_view kTextCell = "<td class=color3><span class=text>";
constexpr std::string_view kWideTextCell = "<td class=\"color3 breit\"><span class=text>";
constexpr std::string_view kCellEnd = "</span></td>";

DayNumber LocalDay(std::time_t now, std::string& stand) {
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y, %H:%M", &local);
  stand = text;
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  DayNumber day = 0;
  ParseDay(text, day);
  return day;
}

template <typename Row>
std::vector<std::vector<uint32_t>> ByPlayer(const std::vector<Row>& rows, size_t players) {
  std::vector<std::vector<uint32_t>> by_player(players);
  for (uint32_t k = 0; k < rows.size(); ++k) by_player[rows[k].player].push_back(k);
  return by_player;
}

}  // namespace

HistoryView::HistoryView(const SiteHistory& h, std::time_t at)
    : history(h),
      now(at),
      today(LocalDay(at, stand)),
      names(CurrentNames(h)),
      player_days(ByPlayer(h.days, h.players.size())),
      player_weapons(ByPlayer(h.weapons, h.players.size())),
      player_names(ByPlayer(h.names, h.players.size())),
      player_sessions(ByPlayer(h.sessions, h.players.size())) {}

void AppendPlayerLink(std::string& out, const HistoryView& view, uint32_t player,
                      std::string_view up) {
  out += "<a href=\"";
  out += up;
  AppendPlayerHistoryPageName(out, view.history.players[player]);
  out += "\">";
  AppendHtmlEscaped(out, view.names[player]);
  out += "</a>";
}

std::string MapLabel(std::string_view map) {
  return map.empty() ? std::string(kNoMapLabel) : std::string(map);
}

void AppendMapLink(std::string& out, std::string_view map, std::string_view up) {
  out += "<a href=\"";
  out += up;
  AppendMapPageName(out, map);
  out += "\">";
  if (map.empty())
    out += kNoMapLabel;
  else
    AppendHtmlEscaped(out, map);
  out += "</a>";
}

void AppendTableHead(std::string& out, std::initializer_list<std::string_view> labels) {
  out += "<table cellspacing=1 cellpadding=4 class=color4><tr>";
  for (std::string_view label : labels) {
    const bool number = label.starts_with('#'), wide = label.starts_with('~');
    out += number ? "<th class=\"color2 zahl\"><span class=text>"
           : wide ? "<th class=\"color2 breit\"><span class=text>"
                  : "<th class=color2><span class=text>";
    AppendHtmlEscaped(out, number || wide ? label.substr(1) : label);
    out += "</span></th>";
  }
  out += "</tr>";
}

void AppendNumberCell(std::string& out, int64_t value) {
  out += "<td class=\"color3 zahl\"><span class=text>";
  AppendNumber(out, value);
  out += kCellEnd;
}

void AppendTextCell(std::string& out, std::string_view escaped_html, bool wide_only) {
  out += wide_only ? kWideTextCell : kTextCell;
  out += escaped_html;
  out += kCellEnd;
}

void AppendEscapedTextCell(std::string& out, std::string_view text, bool wide_only) {
  out += wide_only ? kWideTextCell : kTextCell;
  AppendHtmlEscaped(out, text);
  out += kCellEnd;
}

void AppendSkillRanking(std::string& out, const HistoryView& view,
                        const std::vector<PlayerTotals>& ranked, size_t rows, std::string_view up) {
  if (ranked.empty()) {
    out += "<p>Keine Spiele in diesem Zeitraum.</p>";
    return;
  }
  AppendTableHead(out, {"#Platz", "Spieler", "#Skill", "#Kills", "#Tode", "#HS %"});
  for (size_t k = 0; k < ranked.size() && k < rows; ++k) {
    const PlayerTotals& p = ranked[k];
    out += "<tr>";
    AppendNumberCell(out, static_cast<int64_t>(k + 1));
    out += kTextCell;
    AppendPlayerLink(out, view, p.player, up);
    out += kCellEnd;
    AppendNumberCell(out, PeriodSkill(p));
    AppendNumberCell(out, p.kills);
    AppendNumberCell(out, p.deaths);
    AppendNumberCell(out, HeadshotPercent(p.headshots, p.kills));
    out += "</tr>";
  }
  out += "</table>";
}

void AppendSessionTable(std::string& out, const HistoryView& view,
                        const std::vector<uint32_t>& indices, size_t rows, std::string_view up) {
  if (indices.empty()) {
    out += "<p>Noch keine Sitzungen.</p>";
    return;
  }
  AppendTableHead(out, {"Spieler", "Beginn", "~Ende", "Karte"});
  size_t shown = 0;
  for (auto k = indices.rbegin(); k != indices.rend() && shown < rows; ++k) {
    const SessionRow& s = view.history.sessions[*k];
    if (IsBotId(view.history.players[s.player])) continue;
    ++shown;
    out += "<tr>";
    out += kTextCell;
    AppendPlayerLink(out, view, s.player, up);
    out += kCellEnd;
    AppendEscapedTextCell(out, MomentText(s.begin));
    AppendEscapedTextCell(out, MomentText(s.end), true);
    out += kTextCell;
    AppendMapLink(out, view.history.maps[s.map], up);
    out += kCellEnd;
    out += "</tr>";
  }
  out += "</table>";
}

}  // namespace varnokel
