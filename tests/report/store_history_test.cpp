// SPDX-License-Identifier: GPL-3.0-or-later
// The history the report reads from a real event store: the weapons of a
// player's day, taken apart by the report, are the rows the store's own view
// shows; a damaged weapons row stops the report naming the store.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "db/event_store.h"
#include "report/site_history.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

using testutil::TempDir;

void Execute(const std::filesystem::path& store, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// A store with two players' weapon days: with and without headshots, a day
// that was no date, and a weapon number the weapon table does not hold.
void FillStore(const std::filesystem::path& database) {
  EventStore::ForUpdate(database);
  Execute(EventStorePath(database),
          "INSERT INTO player VALUES (0, 'STEAM_0:1:7'), (1, 'STEAM_0:0:42');"
          "INSERT INTO weapon VALUES (0, 'ak47'), (1, 'awp'), (5, 'knife');"
          "INSERT INTO weapon_day VALUES (0, 20000, '0:12:3;1:4;5:1:1;'),"
          " (0, 20001, '1:2;'), (1, 20000, '5:7:2;9:3:3;'), (1, -1, '0:99;');");
}

std::vector<std::string> ViewRows(const std::filesystem::path& database) {
  std::vector<std::string> rows;
  EventStore(database, EventStore::Access::kRead)
      .ForEachRow(
          "SELECT spieler, tag, waffe, kills, headshots FROM waffen_tage "
          "WHERE tag IS NOT NULL",
          [&](const std::vector<std::string>& c) {
            rows.push_back(c[0] + "|" + c[1] + "|" + c[2] + "|" + c[3] + "|" + c[4]);
          });
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::vector<std::string> ReadRows(const SiteHistory& h) {
  std::vector<std::string> rows;
  for (const WeaponDayRow& w : h.weapons)
    rows.push_back(h.players[w.player] + "|" + DayText(w.day) + "|" + w.weapon + "|" +
                   std::to_string(w.kills) + "|" + std::to_string(w.headshots));
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST(StoreHistory, WeaponDaysAreTheViewsRowsAndADamagedOneNamesTheStore) {
  TempDir dir;
  FillStore(dir.path());
  const std::vector<std::string> view = ViewRows(dir.path());
  ASSERT_EQ(view.size(), 5u);
  EXPECT_EQ(ReadRows(ReadSiteHistory(dir.path())), view);

  for (const char* damaged : {"0:12", "0:x;", "0:1:2:3;", ":1;"}) {
    Execute(EventStorePath(dir.path()),
            std::string("UPDATE weapon_day SET weapons = '") + damaged + "' WHERE day = 20001");
    try {
      ReadSiteHistory(dir.path());
      ADD_FAILURE() << damaged << " was read";
    } catch (const FileError& error) {
      EXPECT_EQ(error.file(), EventStorePath(dir.path())) << damaged;
    }
  }
}

}  // namespace
}  // namespace varnokel
