#include "report/site_history.h"

#include <algorithm>
#include <optional>

#include "base/file_io.h"
#include "db/event_store.h"
#include "db/store_sql.h"

namespace varnokel {

namespace {

constexpr int64_t kSecondsPerMinute = 60;

// The store's numbers of players, maps, servers or weapons, turned into the
// history's indices by `index_of`.
template <typename IndexOf>
auto Indices(const EventStore& store, std::string_view sql, const IndexOf& index_of) {
  std::vector<decltype(index_of(std::string_view()))> indices;
  store.ForEachStoreRow(sql, [&](const StoreRow& row) {
    const int64_t nr = row.Int(0);
    if (nr < 0) return;
    if (static_cast<size_t>(nr) >= indices.size()) indices.resize(static_cast<size_t>(nr) + 1);
    indices[static_cast<size_t>(nr)] = index_of(row.Text(1));
  });
  return indices;
}

template <typename Index>
const Index& At(const std::vector<Index>& indices, int64_t nr) {
  static const Index kNone{};
  return nr >= 0 && static_cast<size_t>(nr) < indices.size() ? indices[static_cast<size_t>(nr)]
                                                             : kNone;
}

DayNumber Day(const StoreRow& row, int column) {
  return static_cast<DayNumber>(row.Int(column));
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
  const auto weapons = Indices(store, store_sql::kHistoryWeapons,
                               [](std::string_view w) { return std::optional<std::string>(w); });
  SiteHistory& h = b.history();
  store.ForEachStoreRow(store_sql::kHistoryPlayerDays, [&](const StoreRow& r) {
    h.days.push_back({At(players, r.Int(0)), Day(r, 1), At(maps, r.Int(2)), At(servers, r.Int(3)),
                      r.Int(4), r.Int(5), r.Int(6), r.Int(7), r.Int(8)});
  });
  std::vector<WeaponEntry> entries;
  store.ForEachStoreRow(store_sql::kHistoryWeaponDays, [&](const StoreRow& r) {
    entries.clear();
    if (!ParseWeaponEntries(r.Text(2), entries)) throw DamagedWeaponsError(store.file());
    const uint32_t player = At(players, r.Int(0));
    for (const WeaponEntry& e : entries) {
      // A number the weapon table does not hold names no weapon.
      if (const auto& weapon = At(weapons, e.weapon))
        h.weapons.push_back({player, Day(r, 1), *weapon, e.kills, e.headshots});
    }
  });
  store.ForEachStoreRow(store_sql::kHistoryNames, [&](const StoreRow& r) {
    h.names.push_back({At(players, r.Int(0)), std::string(r.Text(1)), Day(r, 2), Day(r, 3)});
  });
  store.ForEachStoreRow(store_sql::kHistorySessions, [&](const StoreRow& r) {
    h.sessions.push_back(
        {At(players, r.Int(0)), r.Int(1), r.Int(2), At(maps, r.Int(3)), At(servers, r.Int(4))});
  });
  // Sorted here, not by the store: the moments sort as numbers, and equal
  // ones keep the order the store holds them in.
  std::stable_sort(h.sessions.begin(), h.sessions.end(),
                   [](const SessionRow& a, const SessionRow& b) {
                     return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
                   });
  store.ForEachStoreRow(store_sql::kHistoryMapDays, [&](const StoreRow& r) {
    h.map_days.push_back({At(maps, r.Int(0)), Day(r, 1), r.Int(2), r.Int(3) / kSecondsPerMinute});
  });
  return b.Take();
}

}  // namespace varnokel
