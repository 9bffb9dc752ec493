#include "report/history_site.h"

#include <array>
#include <future>

#include "base/parallel_stretches.h"
#include "report/history_frame.h"
#include "report/history_pages.h"
#include "report/open_data.h"
#include "report/search_index.h"

namespace varnokel {

HistorySite::HistorySite(const SiteHistory& history, std::time_t now) : view_(history, now) {}

void HistorySite::AddBuilt(SiteWriter& site, std::string name, std::string bytes) {
  const Fingerprint input = PageInput("built page").Text(bytes).Value();
  built_.push_back(std::move(bytes));
  const std::string* text = &built_.back();
  site.Add(std::move(name), input, [text](PageOutput& page) { page.text() += *text; });
}

Fingerprint HistorySite::PlayerInput(uint32_t player) const {
  const SiteHistory& h = view_.history;
  PageInput input("player history");
  input.Text(h.players[player]).Text(view_.names[player]);
  for (uint32_t k : view_.player_days[player]) {
    const PlayerDayRow& r = h.days[k];
    input.Number(r.day).Text(h.maps[r.map]).Number(r.kills).Number(r.deaths);
    input.Number(r.headshots).Number(r.seconds);
  }
  for (uint32_t k : view_.player_weapons[player])
    input.Text(h.weapons[k].weapon).Number(h.weapons[k].kills).Number(h.weapons[k].headshots);
  for (uint32_t k : view_.player_names[player])
    input.Text(h.names[k].name).Number(h.names[k].first).Number(h.names[k].last);
  for (uint32_t k : view_.player_sessions[player]) {
    const SessionRow& s = h.sessions[k];
    input.Number(s.begin).Number(s.end).Text(h.maps[s.map]);
  }
  return input.Value();
}

void HistorySite::AddTo(SiteWriter& site) {
  const SiteHistory& h = view_.history;
  // The search index and the open data are built on threads of their own
  // meanwhile; the pages that sum everything and the players' inputs here.
  std::future<SearchIndex> search = std::async(
      std::launch::async, [this] { return BuildSearchIndex(view_, kSearchFullListLimit); });
  std::future<std::array<std::string, 3>> data = std::async(std::launch::async, [this] {
    return std::array<std::string, 3>{PlayersJson(view_), MapsJson(view_), DaysJson(view_)};
  });
  AddBuilt(site, "index.html", OverviewPage(view_));
  AddBuilt(site, "karten.htm", MapsPage(view_));
  AddBuilt(site, "verlauf.htm", HistoryPageText(view_));
  std::vector<Fingerprint> player_inputs(h.players.size());
  ForEachStretch(h.players.size(), [&](size_t from, size_t to) {
    for (size_t p = from; p < to; ++p)
      if (!IsBotId(h.players[p])) player_inputs[p] = PlayerInput(static_cast<uint32_t>(p));
  });
  SearchIndex index = search.get();
  AddBuilt(site, "suche.htm", SearchPage(index.files));
  const std::vector<MapTotals> maps = SumMaps(h);
  for (uint32_t m = 0; m < h.maps.size(); ++m)
    if (maps[m].played) AddBuilt(site, MapPageName(h.maps[m]), MapPage(view_, m));
  for (uint32_t p = 0; p < h.players.size(); ++p)
    if (!IsBotId(h.players[p]))
      site.Add(PlayerHistoryPageName(h.players[p]), player_inputs[p],
               [this, p](PageOutput& page) { AppendPlayerHistoryPage(page.text(), view_, p); });
  for (uint32_t f = 0; f < index.files; ++f)
    if (!index.texts[f].empty()) AddBuilt(site, SearchFileName(f), std::move(index.texts[f]));
  std::array<std::string, 3> open_data = data.get();
  AddBuilt(site, std::string(kDataFolder) + "/spieler.json", std::move(open_data[0]));
  AddBuilt(site, std::string(kDataFolder) + "/karten.json", std::move(open_data[1]));
  AddBuilt(site, std::string(kDataFolder) + "/tage.json", std::move(open_data[2]));
}

}  // namespace varnokel
