#include "report/history_pages.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "report/history_frame.h"
#include "report/html_escape.h"
#include "report/svg_chart.h"

namespace varnokel {

namespace {

constexpr int kChartDays = 90;
constexpr size_t kOverviewBest = 10;
constexpr size_t kOverviewMaps = 10;
constexpr size_t kOverviewSessions = 20;
constexpr size_t kMapBest = 50;
constexpr size_t kPeriodBest = 20;
constexpr size_t kPlayerSessions = 20;
constexpr int kDaysPerWeek = 7;
constexpr int kHoursPerDay = 24;
constexpr int64_t kSecondsPerHour = 3600;

DayRange LastDays(const HistoryView& view, int days) {
  return {view.today - (days - 1), view.today};
}

// Kills and active players of each day in `range`, one column per day.
Chart DailyChart(const HistoryView& view, DayRange range, const uint32_t* map, std::string title) {
  const size_t days = static_cast<size_t>(range.to - range.from + 1);
  Chart chart{std::move(title),
              {},
              {"Kills", std::vector<int64_t>(days)},
              {"Spieler", std::vector<int64_t>(days)}};
  PlayersPerGroup active(days);
  for (const PlayerDayRow& row : view.history.days) {
    if (!range.Holds(row.day) || (map && row.map != *map) ||
        IsBotId(view.history.players[row.player]))
      continue;
    chart.bars.values[static_cast<size_t>(row.day - range.from)] += row.kills;
    active.Add(static_cast<size_t>(row.day - range.from), row.player);
  }
  chart.line.values = active.Count();
  for (DayNumber d = range.from; d <= range.to; ++d)
    chart.columns.push_back(GermanDayText(d).substr(0, 6));
  return chart;
}

void AppendTile(std::string& out, std::string_view label, int64_t value) {
  out += "<div class=\"kachel color3\"><span class=text>";
  AppendHtmlEscaped(out, label);
  out += "<br><b class=ueberschrift>";
  out += std::to_string(value);
  out += "</b></span></div>";
}

// The players with a row in a stretch of days and their kills, bots left out.
struct Activity {
  int64_t players = 0;
  int64_t kills = 0;
};

Activity ActivityIn(const HistoryView& view, DayRange range) {
  const SiteHistory& h = view.history;
  Activity activity;
  std::vector<char> seen(h.players.size(), 0);
  for (const PlayerDayRow& row : h.days) {
    if (!range.Holds(row.day) || IsBotId(h.players[row.player])) continue;
    activity.kills += row.kills;
    if (!seen[row.player]) ++activity.players, seen[row.player] = 1;
  }
  return activity;
}

// Map indices, most played first (minutes, then kills, then name).
std::vector<uint32_t> MapsByPlay(const HistoryView& view, const std::vector<MapTotals>& maps) {
  std::vector<uint32_t> order;
  for (uint32_t m = 0; m < maps.size(); ++m)
    if (maps[m].played) order.push_back(m);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    if (maps[a].minutes != maps[b].minutes) return maps[a].minutes > maps[b].minutes;
    if (maps[a].kills != maps[b].kills) return maps[a].kills > maps[b].kills;
    return view.history.maps[a] < view.history.maps[b];
  });
  return order;
}

void AppendMapTable(std::string& out, const HistoryView& view, const std::vector<MapTotals>& maps,
                    const std::vector<uint32_t>& order, size_t rows) {
  AppendTableHead(out, {"Karte", "#Spielzeit", "#Kills", "#HS %", "#Spieler"});
  for (size_t k = 0; k < order.size() && k < rows; ++k) {
    const MapTotals& m = maps[order[k]];
    out += "<tr>";
    std::string link;
    AppendMapLink(link, view.history.maps[order[k]], "");
    AppendTextCell(out, link);
    out += "<td class=\"color3 zahl\"><span class=text>" + DurationText(m.minutes * 60) +
           "</span></td>";
    AppendNumberCell(out, m.kills);
    AppendNumberCell(out, HeadshotPercent(m.headshots, m.kills));
    AppendNumberCell(out, static_cast<int64_t>(m.players));
    out += "</tr>";
  }
  out += "</table>";
}

void AppendBots(std::string& out, const HistoryView& view) {
  int64_t kills = 0, deaths = 0;
  bool any = false;
  for (const PlayerDayRow& row : view.history.days) {
    if (!IsBotId(view.history.players[row.player])) continue;
    any = true;
    kills += row.kills;
    deaths += row.deaths;
  }
  if (!any) return;
  AppendSectionHeading(out, "Bots");
  out += "<p>Die Bots des Servers (in keiner Rangliste): " + std::to_string(kills) + " Kills, " +
         std::to_string(deaths) + " Tode.</p>";
}

void AppendServers(std::string& out, const HistoryView& view) {
  const SiteHistory& h = view.history;
  if (h.servers.size() < 2) return;
  std::vector<int64_t> kills(h.servers.size());
  PlayersPerGroup by_server(h.servers.size());
  for (const PlayerDayRow& row : h.days) {
    kills[row.server] += row.kills;
    if (!IsBotId(h.players[row.player])) by_server.Add(row.server, row.player);
  }
  const std::vector<int64_t> players = by_server.Count();
  AppendSectionHeading(out, "Server");
  AppendTableHead(out, {"Server", "#Kills", "#Spieler"});
  for (size_t s = 0; s < h.servers.size(); ++s) {
    out += "<tr>";
    AppendTextCell(out, HtmlEscape(h.servers[s].empty() ? "(ohne Namen)" : h.servers[s]));
    AppendNumberCell(out, kills[s]);
    AppendNumberCell(out, players[s]);
    out += "</tr>";
  }
  out += "</table>";
}

std::vector<uint32_t> AllSessions(const HistoryView& view) {
  std::vector<uint32_t> all(view.history.sessions.size());
  for (uint32_t k = 0; k < all.size(); ++k) all[k] = k;
  return all;
}

// Seconds played in each hour of the day, from the sessions' begin and end.
std::vector<int64_t> SecondsByHour(const HistoryView& view) {
  std::vector<int64_t> hours(kHoursPerDay);
  for (const SessionRow& s : view.history.sessions) {
    if (IsBotId(view.history.players[s.player])) continue;
    int64_t from = s.begin;
    const int64_t to = s.end;
    // Before 1970 or after 9999 no hour is counted, as for a day too long.
    if (from < 0 || !IsShownMoment(to) || to < from || to - from > kHoursPerDay * kSecondsPerHour)
      continue;
    while (from < to) {
      const int64_t hour_end = (from / kSecondsPerHour + 1) * kSecondsPerHour;
      const int64_t until = std::min(to, hour_end);
      hours[static_cast<size_t>(from / kSecondsPerHour % kHoursPerDay)] += until - from;
      from = until;
    }
  }
  return hours;
}

DayNumber FirstDay(const SiteHistory& h) {
  DayNumber first = INT32_MAX;
  for (const PlayerDayRow& row : h.days) first = std::min(first, row.day);
  return first;
}

DayNumber LastDay(const SiteHistory& h) {
  DayNumber last = INT32_MIN;
  for (const PlayerDayRow& row : h.days) last = std::max(last, row.day);
  return last;
}

// Calendar months with games, newest first, as day ranges with their names.
std::vector<std::pair<std::string, DayRange>> Months(const HistoryView& view) {
  using namespace std::chrono;
  std::set<DayNumber> firsts;  // the first day of each month
  for (const PlayerDayRow& row : view.history.days) {
    const year_month_day date{sys_days(days(row.day))};
    firsts.insert(sys_days(date.year() / date.month() / 1).time_since_epoch().count());
  }
  std::vector<std::pair<std::string, DayRange>> ranges;
  for (auto first = firsts.rbegin(); first != firsts.rend(); ++first) {
    const year_month_day date{sys_days(days(*first))};
    const year_month next = date.year() / date.month() + months(1);
    const DayNumber last = sys_days(next / 1).time_since_epoch().count() - 1;
    ranges.emplace_back(GermanDayText(*first).substr(3), DayRange{*first, last});
  }
  return ranges;
}

}  // namespace

std::string OverviewPage(const HistoryView& view) {
  std::string out;
  AppendHistoryHead(out, "Übersicht", "", HistoryPage::kOverview);
  out += "<p>Stand: " + view.stand + "</p><div class=kacheln>";
  const Activity week_activity = ActivityIn(view, LastDays(view, 7));
  AppendTile(out, "Spieler insgesamt", ActivityIn(view, kAllDays).players);
  AppendTile(out, "aktiv in 7 Tagen", week_activity.players);
  AppendTile(out, "aktiv in 30 Tagen", ActivityIn(view, LastDays(view, 30)).players);
  AppendTile(out, "Kills heute", ActivityIn(view, LastDays(view, 1)).kills);
  AppendTile(out, "Kills in 7 Tagen", week_activity.kills);
  out += "</div>";
  AppendSectionHeading(out, "Die letzten 90 Tage");
  AppendChartSvg(out, DailyChart(view, LastDays(view, kChartDays), nullptr,
                                 "Kills und aktive Spieler pro Tag, letzte 90 Tage"));
  AppendSectionHeading(out, "Die Besten der letzten 7 Tage");
  std::vector<PlayerTotals> week = SumPlayers(view.history, LastDays(view, 7));
  RankBySkill(week);
  AppendSkillRanking(out, view, week, kOverviewBest, "");
  AppendSectionHeading(out, "Meistgespielte Karten");
  const std::vector<MapTotals> maps = SumMaps(view.history);
  AppendMapTable(out, view, maps, MapsByPlay(view, maps), kOverviewMaps);
  AppendServers(out, view);
  AppendSectionHeading(out, "Die letzten Sitzungen");
  AppendSessionTable(out, view, AllSessions(view), kOverviewSessions, "");
  AppendBots(out, view);
  AppendHistoryFooter(out);
  return out;
}

std::string MapsPage(const HistoryView& view) {
  std::string out;
  AppendHistoryHead(out, "Karten", "", HistoryPage::kMaps);
  const std::vector<MapTotals> maps = SumMaps(view.history);
  const std::vector<uint32_t> order = MapsByPlay(view, maps);
  if (order.empty())
    out += "<p>Noch keine Karten gespielt.</p>";
  else
    AppendMapTable(out, view, maps, order, order.size());
  AppendHistoryFooter(out);
  return out;
}

std::string MapPage(const HistoryView& view, uint32_t map) {
  std::string out;
  AppendHistoryHead(out, "Karte " + MapLabel(view.history.maps[map]), "../", HistoryPage::kNone);
  AppendSectionHeading(out, "Die 50 Besten auf dieser Karte");
  std::vector<PlayerTotals> players = SumPlayers(view.history, kAllDays, &map);
  RankByKills(players);
  if (players.empty()) {
    out += "<p>Noch keine Spieler.</p>";
  } else {
    AppendTableHead(out, {"#Platz", "Spieler", "#Kills", "#Tode", "#HS %", "#Spielzeit"});
    for (size_t k = 0; k < players.size() && k < kMapBest; ++k) {
      out += "<tr>";
      AppendNumberCell(out, static_cast<int64_t>(k + 1));
      std::string link;
      AppendPlayerLink(link, view, players[k].player, "../");
      AppendTextCell(out, link);
      AppendNumberCell(out, players[k].kills);
      AppendNumberCell(out, players[k].deaths);
      AppendNumberCell(out, HeadshotPercent(players[k].headshots, players[k].kills));
      out += "<td class=\"color3 zahl\"><span class=text>" + DurationText(players[k].seconds) +
             "</span></td></tr>";
    }
    out += "</table>";
  }
  AppendSectionHeading(out, "Verlauf");
  DayNumber last = INT32_MIN;
  for (const PlayerDayRow& row : view.history.days)
    if (row.map == map) last = std::max(last, row.day);
  if (last != INT32_MIN)
    AppendChartSvg(out, DailyChart(view, {last - (kChartDays - 1), last}, &map,
                                   "Kills und Spieler pro Tag auf dieser Karte, 90 Tage bis " +
                                       GermanDayText(last)));
  AppendHistoryFooter(out);
  return out;
}

std::string HistoryPageText(const HistoryView& view) {
  std::string out;
  AppendHistoryHead(out, "Verlauf", "", HistoryPage::kHistory);
  const auto ranking = [&](std::string heading, DayRange range) {
    AppendSectionHeading(out, heading);
    std::vector<PlayerTotals> players = SumPlayers(view.history, range);
    RankBySkill(players);
    AppendSkillRanking(out, view, players, kPeriodBest, "");
  };
  ranking("Die letzten 7 Tage", LastDays(view, 7));
  ranking("Die letzten 30 Tage", LastDays(view, 30));
  for (const auto& [name, range] : Months(view)) ranking("Monat " + name, range);
  AppendSectionHeading(out, "Aktivität nach Tagen");
  // The year up to today, or up to the last day with games when that is
  // longer ago (a site written from old logs).
  const DayNumber first = FirstDay(view.history);
  const DayNumber last =
      first == INT32_MAX ? view.today : std::min(LastDay(view.history), view.today);
  const DayRange days{first == INT32_MAX ? last : std::max(first, last - 364), last};
  AppendChartSvg(out, DailyChart(view, days, nullptr, "Kills und aktive Spieler pro Tag"));
  AppendSectionHeading(out, "Aktivität nach Tageszeit");
  Chart hours{"Gespielte Minuten nach Stunde des Tages", {}, {"Minuten", {}}, {"", {}}};
  for (int64_t seconds : SecondsByHour(view)) hours.bars.values.push_back(seconds / 60);
  for (int h = 0; h < kHoursPerDay; ++h) hours.columns.push_back(std::to_string(h) + " Uhr");
  AppendChartSvg(out, hours);
  AppendHistoryFooter(out);
  return out;
}

void AppendPlayerHistoryPage(std::string& out, const HistoryView& view, uint32_t player) {
  const SiteHistory& h = view.history;
  AppendHistoryHead(out, "Spieler " + view.names[player], "../", HistoryPage::kNone);
  out += "<p>Id: ";
  AppendHtmlEscaped(out, h.players[player]);
  out += " &middot; <a href=\"../";
  AppendPercentEncoded(out, ClassicPageStem(h.players[player]));
  out += ".htm\">Gesamtstatistik</a></p>";
  // Per week, from the week of his first day to that of his last.
  std::map<DayNumber, std::array<int64_t, 3>> weeks;  // Monday -> kills, deaths, seconds
  std::map<std::string_view, PlayerTotals> maps;      // the names are the history's
  for (uint32_t k : view.player_days[player]) {
    const PlayerDayRow& row = h.days[k];
    // 1970-01-01 was a Thursday: day + 3 counts from a Monday.
    const DayNumber monday = row.day - ((row.day % kDaysPerWeek + kDaysPerWeek + 3) % kDaysPerWeek);
    auto& week = weeks[monday];
    week[0] += row.kills, week[1] += row.deaths, week[2] += row.seconds;
    PlayerTotals& m = maps[h.maps[row.map]];
    m.kills += row.kills, m.deaths += row.deaths, m.headshots += row.headshots,
        m.seconds += row.seconds;
  }
  AppendSectionHeading(out, "Pro Woche");
  if (!weeks.empty()) {
    Chart kills{"Kills und Tode pro Woche", {}, {"Kills", {}}, {"Tode", {}}};
    Chart time{"Spielzeit pro Woche in Minuten", {}, {"Minuten", {}}, {"", {}}};
    for (DayNumber w = weeks.begin()->first; w <= weeks.rbegin()->first; w += kDaysPerWeek) {
      const auto found = weeks.find(w);
      const std::array<int64_t, 3> counts =
          found == weeks.end() ? std::array<int64_t, 3>{} : found->second;
      const std::string label = GermanDayText(w).substr(0, 6);
      kills.columns.push_back(label);
      time.columns.push_back(label);
      kills.bars.values.push_back(counts[0]);
      kills.line.values.push_back(counts[1]);
      time.bars.values.push_back(counts[2] / 60);
    }
    AppendChartSvg(out, kills);
    AppendChartSvg(out, time);
  }
  AppendSectionHeading(out, "Karten");
  AppendTableHead(out, {"Karte", "#Kills", "#Tode", "#HS %", "#Spielzeit"});
  for (const auto& [map, m] : maps) {
    out += "<tr>";
    std::string link;
    AppendMapLink(link, map, "../");
    AppendTextCell(out, link);
    AppendNumberCell(out, m.kills);
    AppendNumberCell(out, m.deaths);
    AppendNumberCell(out, HeadshotPercent(m.headshots, m.kills));
    out += "<td class=\"color3 zahl\"><span class=text>";
    out += DurationText(m.seconds);
    out += "</span></td></tr>";
  }
  out += "</table>";
  AppendSectionHeading(out, "Waffen");
  std::map<std::string_view, std::pair<int64_t, int64_t>> weapons;
  for (uint32_t k : view.player_weapons[player]) {
    auto& w = weapons[h.weapons[k].weapon];
    w.first += h.weapons[k].kills, w.second += h.weapons[k].headshots;
  }
  std::vector<std::pair<std::string_view, std::pair<int64_t, int64_t>>> by_kills(weapons.begin(),
                                                                                 weapons.end());
  std::stable_sort(by_kills.begin(), by_kills.end(),
                   [](const auto& a, const auto& b) { return a.second.first > b.second.first; });
  AppendTableHead(out, {"Waffe", "#Kills", "#Headshots", "#HS %"});
  for (const auto& [weapon, counts] : by_kills) {
    out += "<tr>";
    AppendEscapedTextCell(out, weapon);
    AppendNumberCell(out, counts.first);
    AppendNumberCell(out, counts.second);
    AppendNumberCell(out, HeadshotPercent(counts.second, counts.first));
    out += "</tr>";
  }
  out += "</table>";
  AppendSectionHeading(out, "Namen");
  AppendTableHead(out, {"Name", "zuerst", "zuletzt"});
  for (uint32_t k : view.player_names[player]) {
    out += "<tr>";
    AppendEscapedTextCell(out, h.names[k].name);
    AppendTextCell(out, GermanDayText(h.names[k].first));
    AppendTextCell(out, GermanDayText(h.names[k].last));
    out += "</tr>";
  }
  out += "</table>";
  AppendSectionHeading(out, "Letzte Sitzungen");
  AppendSessionTable(out, view, view.player_sessions[player], kPlayerSessions, "../");
  AppendHistoryFooter(out);
}

}  // namespace varnokel
