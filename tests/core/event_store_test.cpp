// SPDX-License-Identifier: GPL-3.0-or-later
// The event store beside the player files: what the update run records per
// day, map and server, sessions, its agreement with the player files, each
// commit taken once, and a store that is missing or not ours.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "db/database_commands.h"
#include "db/player_file.h"
#include "db/update_run.h"
#include "log/log_buffer.h"
#include "tests/core/store_support.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testing::LogLine;
using testing::TempDir;
using testing::WriteBytes;

const std::string kBob = "\"Bob<1><4711><CT>\"", kAnn = "\"Ann<2><100><TERRORIST>\"",
                  kCid = "\"Cid<3><7><CT>\"";

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// Folds each (server, log text) into `db`, in one run.
void Fold(const fs::path& db, const std::vector<std::pair<std::string, std::string>>& logs) {
  LogBuffer buffer;
  for (const auto& [server, text] : logs) {
    buffer.SetServer(server);
    buffer.Append(LogContribution(text));
  }
  std::string reference_line;
  DatabaseUpdateRun(buffer, db, reference_line);
}

std::vector<std::string> Rows(const fs::path& db, std::string_view sql) {
  return testing::StoreRows(db, sql);
}

TEST(EventStore, MapAndServerOfEachLineAcrossTwoLogsAndAMapChange) {
  const std::string alpha = Lines({
      LogLine("20:00:00", "Loading map \"de_dust\""),
      LogLine("20:00:05", "Started map \"de_dust\" (CRC \"-1\")"),
      LogLine("20:00:10", kBob + " entered the game"),
      LogLine("20:00:11", kAnn + " entered the game"),
      LogLine("20:01:00", kBob + " killed " + kAnn + " with \"galil\""),
      LogLine("20:10:00", "Loading map \"cs_office\""),
      LogLine("20:10:05", "Started map \"cs_office\" (CRC \"-1\")"),
      LogLine("20:11:00", kAnn + " killed " + kBob + " with \"ak47\""),
      LogLine("20:12:00", kAnn + " committed suicide with \"world\""),
      LogLine("20:12:30", kAnn + " triggered \"Planted_The_Bomb\""),
  });
  // No map line before its first kill: that kill has no map.
  const std::string beta = Lines({
      LogLine("21:00:00", kBob + " killed " + kCid + " with \"m4a1\""),
      LogLine("21:05:00", "Started map \"de_aztec\""),
      LogLine("21:06:00", kBob + " killed " + kAnn + " with \"ak47\""),
  });
  TempDir db;
  Fold(db.path(), {{"alpha", alpha}, {"beta", beta}});

  EXPECT_EQ(Rows(db.path(), "SELECT * FROM spieler_tage ORDER BY 1, 2, 3, 4"),
            (std::vector<std::string>{
                "100|2003-03-15|cs_office|alpha|1|0|0|0", "100|2003-03-15|de_aztec|beta|0|1|0|0",
                "100|2003-03-15|de_dust|alpha|0|1|0|0", "4711|2003-03-15||beta|1|0|0|0",
                "4711|2003-03-15|cs_office|alpha|0|1|0|0", "4711|2003-03-15|de_aztec|beta|1|0|0|0",
                "4711|2003-03-15|de_dust|alpha|1|0|0|0", "7|2003-03-15||beta|0|1|0|0"}));
  EXPECT_EQ(Rows(db.path(), "SELECT * FROM waffen_tage ORDER BY 1, 3"),
            (std::vector<std::string>{"100|2003-03-15|ak47|1|0", "4711|2003-03-15|ak47|1|0",
                                      "4711|2003-03-15|galil|1|0", "4711|2003-03-15|m4a1|1|0"}));
  // Bob's kill of Cid is a team kill (both CT); Ann's suicide and bomb.
  EXPECT_EQ(Rows(db.path(),
                 "SELECT p.id, m.name, suicides, team_kills, bombs_planted FROM player_day d "
                 "JOIN player p ON p.nr = d.player JOIN map m ON m.nr = d.map "
                 "WHERE suicides + team_kills + bombs_planted > 0 ORDER BY 1"),
            (std::vector<std::string>{"100|cs_office|1|0|1", "4711||0|1|0"}));
  // A map runs from its start to the next map line or the end of its log.
  EXPECT_EQ(Rows(db.path(),
                 "SELECT m.name, date(d.day * 86400, 'unixepoch'), starts, seconds "
                 "FROM map_day d JOIN map m ON m.nr = d.map ORDER BY 1"),
            (std::vector<std::string>{"cs_office|2003-03-15|1|145", "de_aztec|2003-03-15|1|60",
                                      "de_dust|2003-03-15|1|595"}));

  // The log grown since: its new lines keep the map that ran where it stopped.
  TempDir grown;
  Fold(grown.path(), {{"alpha", alpha.substr(0, alpha.find("L 03/15/2003 - 20:11:00"))}});
  Fold(grown.path(), {{"alpha", alpha}, {"beta", beta}});
  EXPECT_EQ(Rows(grown.path(), "SELECT * FROM spieler_tage ORDER BY 1, 2, 3, 4"),
            Rows(db.path(), "SELECT * FROM spieler_tage ORDER BY 1, 2, 3, 4"));
}

TEST(EventStore, SessionAcrossMidnightCountsForTheDayItEnds) {
  TempDir db;
  Fold(db.path(),
       {{"", Lines({LogLine("23:30:00", kBob + " entered the game"),
                    LogLine("00:30:00", "\"Bobby<1><4711><CT>\" disconnected", "03/16/2003")})}});
  EXPECT_EQ(Rows(db.path(), "SELECT * FROM sitzungen"),
            std::vector<std::string>{"4711|2003-03-15 23:30:00|2003-03-16 00:30:00||"});
  EXPECT_EQ(Rows(db.path(), "SELECT * FROM spieler_tage"),
            std::vector<std::string>{"4711|2003-03-16|||0|0|0|3600"});
  EXPECT_EQ(Rows(db.path(), "SELECT * FROM namen ORDER BY 2"),
            (std::vector<std::string>{"4711|Bob|2003-03-15|2003-03-15",
                                      "4711|Bobby|2003-03-16|2003-03-16"}));
}

// For a database filled from empty by logs in which every player enters
// before anything else, the store's kills, deaths and kills with each of the
// 24 weapons add up to each player file's fields.
TEST(EventStore, KillsDeathsAndWeaponKillsAddUpToThePlayerFiles) {
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    loggen::LogGenOptions options;
    options.seed = seed;
    // The last log is long: its events fill many of the store fold's batches.
    options.lines = seed == 40 ? 60000 : 150 + seed * 37 % 250;
    options.players = 3 + static_cast<int>(seed % 12);
    options.max_online = 2 + static_cast<int>(seed % 10);
    options.bots = static_cast<int>(seed % 3);
    options.hour = 22 + static_cast<int>(seed % 2);  // days change
    TempDir db;
    Fold(db.path(), {{"s", loggen::GenerateLog(options)}});
    std::map<std::string, Fields> store;  // per player: 44 counts like a player file
    auto add = [&](const std::string& id, int field, const std::string& count) {
      Fields& fields = store.try_emplace(id, kFieldCount, "0").first->second;
      fields[static_cast<size_t>(field)] =
          std::to_string(Atoi(fields[static_cast<size_t>(field)]) + Atoi(count));
    };
    EventStore(db.path(), EventStore::Access::kRead)
        .ForEachRow("SELECT spieler, sum(kills), sum(tode) FROM spieler_tage GROUP BY 1",
                    [&](const auto& row) {
                      add(row[0], field::kKills, row[1]);
                      add(row[0], field::kDeaths, row[2]);
                    });
    EventStore(db.path(), EventStore::Access::kRead)
        .ForEachRow("SELECT spieler, waffe, sum(kills) FROM waffen_tage GROUP BY 1, 2",
                    [&](const auto& row) {
                      if (WeaponNumberOf(row[1]) != 0)
                        add(row[0], WeaponKillsField(row[1]), row[2]);
                    });
    size_t compared = 0;
    for (const auto& [name, bytes] : testing::DatabaseContents(db.path())) {
      const Fields file = SplitFields(bytes);
      const std::string id = FieldAt(file, field::kId);
      const Fields counted = store.contains(id) ? store[id] : Fields(kFieldCount, "0");
      for (int f : {field::kKills, field::kDeaths}) {
        EXPECT_EQ(Atoi(FieldAt(file, f)), Atoi(counted[static_cast<size_t>(f)]))
            << "seed " << seed << ", " << id << ", field " << f;
      }
      for (int weapon = 1; weapon <= kWeaponCount; ++weapon) {
        const int f = WeaponKillsField(weapon);
        EXPECT_EQ(Atoi(FieldAt(file, f)), Atoi(counted[static_cast<size_t>(f)]))
            << "seed " << seed << ", " << id << ", weapon " << weapon;
      }
      compared += store.erase(id);
    }
    EXPECT_TRUE(store.empty()) << "seed " << seed << ": players in the store without a file";
    EXPECT_GT(compared, 0u) << "seed " << seed;
  }
}

// A journal completed again after a crash hands the store a commit it holds
// already: nothing is added twice.
TEST(EventStore, ACommitIsAddedOnce) {
  TempDir db;
  Fold(db.path(), {{"s", Lines({LogLine("20:00:00", kBob + " entered the game")})}});
  StoreChanges changes;
  changes.PlayerDay({changes.Name("4711"), changes.Name("de_dust"), changes.Name("s"), 12126})
      .kills = 3;
  changes.WeaponDay({changes.Name("4711"), changes.Name("ak47"), 12126}).headshots = 2;
  changes.PlayerDay({changes.Name("4711"), changes.Name("de_dust"), changes.Name("s"), kUnknownDay})
      .seconds = int64_t{1} << 40;  // numbers of every size and sign travel whole
  const uint64_t next = EventStore(db.path(), EventStore::Access::kRead).last_commit() + 1;
  const std::string record = changes.Record(next).Serialize();
  ApplyStoreRecord(db.path(), record, db / ".commit");
  const std::string once = testing::DatabaseState(db.path()).at("statistik.sqlite");
  ApplyStoreRecord(db.path(), record, db / ".commit");
  EXPECT_EQ(testing::DatabaseState(db.path()).at("statistik.sqlite"), once);
  EXPECT_NE(once.find("4711|2003-03-15|de_dust|s|3|"), std::string::npos);
  EXPECT_NE(once.find("4711|2003-03-15|ak47|0|2|"), std::string::npos);
  EXPECT_NE(once.find("4711||de_dust|s|0|0|0|1099511627776|"), std::string::npos);
  EXPECT_THROW(ApplyStoreRecord(db.path(), record.substr(0, record.size() - 3), db / ".commit"),
               FileError);
  // A name whose size runs past the record's end: damage, not a read beyond it.
  EXPECT_THROW(StoreRecord::Parse("varnokel store changes 3\n\x06\x02\x06"
                                  "ab",
                                  db / ".commit"),
               FileError);
}

// A log folded in many commits (as it grows, a store of the first version
// among them) gives the store of one commit: each part's sums are added to
// the rows the earlier commits left, and a map runs on across them. A
// day's weapons the store holds damaged stop the update, naming the store.
TEST(EventStore, AStoreFilledInManyCommitsEqualsOneFilledAtOnce) {
  loggen::LogGenOptions options;
  options.lines = 3000;
  options.players = 6;
  options.hour = 23;  // days change
  const std::string log = loggen::GenerateLog(options);
  TempDir whole, grown;
  Fold(whole.path(), {{"s", log}});
  constexpr size_t kCommits = 40;
  for (size_t commit = 1; commit <= kCommits; ++commit) {
    const size_t line_end = log.rfind('\n', log.size() * commit / kCommits - 1) + 1;
    Fold(grown.path(), {{"s", log.substr(0, line_end)}});
    if (commit != kCommits / 2) continue;
    sqlite3* handle = nullptr;  // back to the first version, as an earlier program left it
    ASSERT_EQ(sqlite3_open(EventStorePath(grown.path()).c_str(), &handle), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(handle,
                           "ALTER TABLE server_map DROP COLUMN last_seen; PRAGMA user_version = 1",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(handle);
  }
  auto sums = [](const fs::path& db) {
    std::string dump = EventStore(db, EventStore::Access::kRead).CanonicalDump();
    return dump.substr(0, dump.rfind("SELECT last_commit"));  // the commits' count differs
  };
  EXPECT_EQ(sums(grown.path()), sums(whole.path()));

  sqlite3* handle = nullptr;
  ASSERT_EQ(sqlite3_open(EventStorePath(grown.path()).c_str(), &handle), SQLITE_OK);
  sqlite3_exec(handle, "UPDATE weapon_day SET weapons = '1:x;'", nullptr, nullptr, nullptr);
  sqlite3_close(handle);
  const auto before = testing::FolderContents(grown.path());
  try {
    Fold(grown.path(), {{"s", log + log.substr(0, log.size() / 4)}});
    ADD_FAILURE() << "a damaged weapons text was taken";
  } catch (const FileError& error) {
    EXPECT_EQ(error.file(), EventStorePath(grown.path()));
    EXPECT_NE(std::string(error.what()).find("Waffenzeile"), std::string::npos) << error.what();
  }
  EXPECT_EQ(testing::FolderContents(grown.path()), before);
}

// An operator reading the store with sqlite3 while an update commits: the
// update waits for the reader instead of leaving its commit incomplete.
TEST(EventStore, AnUpdateWaitsForAReaderOfTheStore) {
  TempDir db;
  Fold(db.path(), {{"s", Lines({LogLine("20:00:00", kBob + " entered the game")})}});
  sqlite3* reader = nullptr;
  ASSERT_EQ(sqlite3_open(EventStorePath(db.path()).c_str(), &reader), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM player", nullptr, nullptr, nullptr),
            SQLITE_OK);
  std::thread release([reader] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
  });
  EXPECT_NO_THROW(
      Fold(db.path(), {{"s", Lines({LogLine("20:00:00", kBob + " entered the game"),
                                    LogLine("20:05:00", kAnn + " entered the game")})}}));
  release.join();
  sqlite3_close(reader);
  EXPECT_EQ(Rows(db.path(), "SELECT count(*) FROM namen"), std::vector<std::string>{"2"});
}

// Missing beside player files, not an SQLite file, or another version: the
// update stops before it changes anything, naming the store. Deleting the
// database removes it; the next update makes it afresh.
TEST(EventStore, MissingOrForeignStoreStopsTheUpdateNamingIt) {
  TempDir db;
  const auto log = Lines({LogLine("20:00:00", kBob + " entered the game")});
  const auto more = Lines({LogLine("20:05:00", kBob + " joined team \"CT\"")});
  Fold(db.path(), {{"s", log}});
  const fs::path store = EventStorePath(db.path());
  const std::string good = testing::ReadBytes(store);
  const auto before = testing::FolderContents(db.path());

  std::string other_version = good;
  {
    fs::path copy = db / "copy.sqlite";
    WriteBytes(copy, good);
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(copy.c_str(), &handle), SQLITE_OK);
    sqlite3_exec(handle, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
    other_version = testing::ReadBytes(copy);
    fs::remove(copy);
  }
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"fehlt", std::nullopt},
      {"keine SQLite-Datei", std::string(5000, 'x')},
      {"Version 99", other_version},
  };
  for (const auto& [message, bytes] : cases) {
    fs::remove(store);
    if (bytes) WriteBytes(store, *bytes);
    try {
      Fold(db.path(), {{"s", more}});
      ADD_FAILURE() << "no error for " << message;
    } catch (const FileError& error) {
      EXPECT_EQ(error.file(), store);
      EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
    }
    auto now = testing::FolderContents(db.path());
    now.erase("statistik.sqlite");
    auto want = before;
    want.erase("statistik.sqlite");
    EXPECT_EQ(now, want) << message;
  }
  fs::remove(store);
  WriteBytes(db / "elsewhere", good);
  fs::create_symlink(db / "elsewhere", store);
  EXPECT_THROW(Fold(db.path(), {{"s", more}}), FileError);
  EXPECT_EQ(testing::ReadBytes(db / "elsewhere"), good);
  fs::remove(store);
  WriteBytes(store, good);
  DeleteDatabase(db.path());
  EXPECT_FALSE(fs::exists(store));
  Fold(db.path(), {{"s", log}});
  EXPECT_EQ(Rows(db.path(), "SELECT spieler, name FROM namen"),
            std::vector<std::string>{"4711|Bob"});
}

}  // namespace
}  // namespace varnokel
