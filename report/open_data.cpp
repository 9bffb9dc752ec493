#include "report/open_data.h"

#include <algorithm>
#include <map>

#include "report/json_text.h"

namespace varnokel {

namespace {

void AppendField(std::string& out, std::string_view name, int64_t value) {
  out += ",\"";
  out += name;
  out += "\":";
  out += std::to_string(value);
}

}  // namespace

std::string PlayersJson(const HistoryView& view) {
  std::vector<PlayerTotals> players = SumPlayers(view.history, kAllDays);
  std::sort(players.begin(), players.end(), [&](const auto& a, const auto& b) {
    return view.history.players[a.player] < view.history.players[b.player];
  });
  std::string out = "[";
  for (const PlayerTotals& p : players) {
    out += out.size() == 1 ? "\n{\"id\":" : ",\n{\"id\":";
    AppendJsonString(out, view.history.players[p.player]);
    out += ",\"name\":";
    AppendJsonString(out, view.names[p.player]);
    AppendField(out, "kills", p.kills);
    AppendField(out, "tode", p.deaths);
    AppendField(out, "headshots", p.headshots);
    AppendField(out, "skill", PeriodSkill(p));
    AppendField(out, "sekunden", p.seconds);
    out += ",\"zuletzt\":\"" + DayText(p.last_day) + "\"}";
  }
  out += "\n]\n";
  return out;
}

std::string MapsJson(const HistoryView& view) {
  const std::vector<MapTotals> maps = SumMaps(view.history);
  std::vector<uint32_t> order;
  for (uint32_t m = 0; m < maps.size(); ++m)
    if (maps[m].played) order.push_back(m);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return view.history.maps[a] < view.history.maps[b]; });
  std::string out = "[";
  for (uint32_t m : order) {
    out += out.size() == 1 ? "\n{\"karte\":" : ",\n{\"karte\":";
    AppendJsonString(out, view.history.maps[m]);
    AppendField(out, "sekunden", maps[m].minutes * 60);
    AppendField(out, "starts", maps[m].starts);
    AppendField(out, "kills", maps[m].kills);
    AppendField(out, "headshots", maps[m].headshots);
    AppendField(out, "spieler", static_cast<int64_t>(maps[m].players));
    out += "}";
  }
  out += "\n]\n";
  return out;
}

std::string DaysJson(const HistoryView& view) {
  struct DayTotals {
    size_t number = 0;  // in the order of the days
    int64_t kills = 0, headshots = 0, seconds = 0;
  };
  std::map<DayNumber, DayTotals> days;
  for (const PlayerDayRow& row : view.history.days)
    if (!IsBotId(view.history.players[row.player])) days[row.day];
  size_t number = 0;
  for (auto& [day, d] : days) d.number = number++;
  PlayersPerGroup players(days.size());
  for (const PlayerDayRow& row : view.history.days) {
    if (IsBotId(view.history.players[row.player])) continue;
    DayTotals& d = days[row.day];
    players.Add(d.number, row.player);
    d.kills += row.kills, d.headshots += row.headshots, d.seconds += row.seconds;
  }
  const std::vector<int64_t> active = players.Count();
  std::string out = "[";
  for (const auto& [day, d] : days) {
    out += out.size() == 1 ? "\n{\"tag\":\"" : ",\n{\"tag\":\"";
    out += DayText(day) + "\"";
    AppendField(out, "spieler", active[d.number]);
    AppendField(out, "kills", d.kills);
    AppendField(out, "headshots", d.headshots);
    AppendField(out, "sekunden", d.seconds);
    out += "}";
  }
  out += "\n]\n";
  return out;
}

}  // namespace varnokel
