#include "report/site_history.h"

#include <cstdlib>
#include <functional>

#include "db/event_store.h"
#include "db/store_sql.h"

namespace varnokel {

namespace {

int64_t Number(const std::string& text) {
  return std::strtoll(text.c_str(), nullptr, 10);
}

// The store's numbers of players, maps or servers, turned into the history's indices.
std::vector<uint32_t> Indices(const EventStore& store, std::string_view sql,
                              const std::function<uint32_t(std::string_view)>& index_of) {
  std::vector<uint32_t> indices;
  store.ForEachRow(sql, [&](const std::vector<std::string>& row) {
    const size_t nr = static_cast<size_t>(Number(row[0]));
    if (nr >= indices.size()) indices.resize(nr + 1, 0);
    indices[nr] = index_of(row[1]);
  });
  return indices;
}

uint32_t At(const std::vector<uint32_t>& indices, const std::string& nr) {
  const size_t k = static_cast<size_t>(Number(nr));
  return k < indices.size() ? indices[k] : 0;
}

}  // namespace

SiteHistory ReadSiteHistory(const std::filesystem::path& database_dir) {
  std::error_code error;
  if (!std::filesystem::exists(EventStorePath(database_dir), error)) return {};
  const EventStore store(database_dir, EventStore::Access::kRead);
  SiteHistoryBuilder b;
  const auto players =
      Indices(store, store_sql::kHistoryPlayers, [&](std::string_view id) { return b.Player(id); });
  const auto maps =
      Indices(store, store_sql::kHistoryMaps, [&](std::string_view m) { return b.Map(m); });
  const auto servers =
      Indices(store, store_sql::kHistoryServers, [&](std::string_view s) { return b.Server(s); });
  SiteHistory& h = b.history();
  store.ForEachRow(store_sql::kHistoryPlayerDays, [&](const std::vector<std::string>& r) {
    h.days.push_back({At(players, r[0]), static_cast<DayNumber>(Number(r[1])), At(maps, r[2]),
                      At(servers, r[3]), Number(r[4]), Number(r[5]), Number(r[6]), Number(r[7]),
                      Number(r[8])});
  });
  store.ForEachRow(store_sql::kHistoryWeaponDays, [&](const std::vector<std::string>& r) {
    DayNumber day = 0;
    if (ParseDay(r[1], day))
      h.weapons.push_back({b.Player(r[0]), day, r[2], Number(r[3]), Number(r[4])});
  });
  store.ForEachRow(store_sql::kHistoryNames, [&](const std::vector<std::string>& r) {
    h.names.push_back({At(players, r[0]), r[1], static_cast<DayNumber>(Number(r[2])),
                       static_cast<DayNumber>(Number(r[3]))});
  });
  store.ForEachRow(store_sql::kHistorySessions, [&](const std::vector<std::string>& r) {
    h.sessions.push_back({At(players, r[0]), r[1], r[2], At(maps, r[3]), At(servers, r[4])});
  });
  store.ForEachRow(store_sql::kHistoryMapDays, [&](const std::vector<std::string>& r) {
    h.map_days.push_back(
        {At(maps, r[0]), static_cast<DayNumber>(Number(r[1])), Number(r[2]), Number(r[3]) / 60});
  });
  return b.Take();
}

}  // namespace varnokel
