// SPDX-License-Identifier: GPL-3.0-or-later
// Every SQL text of the event store, with the schema's version. Operators and
// the pages query the four views (German names: they are the stable
// interface); the tables behind them keep each player id, map, server, weapon
// and name once and refer to it by number, and days and times as numbers, so
// that a player's day costs a few dozen bytes.
//
// The kills of a player's day are one row for all weapons (a player uses a
// dozen a day): "<weapon nr>:<kills>;" for each, by weapon number, with
// ":<headshots>" before the ";" where there were any.
//
// Days are days since 1970-01-01 (-1: the line's date was no MM/DD/YYYY date),
// moments seconds since 1970-01-01 00:00:00 as the log's clock shows them
// (NULL when not known); the views show them as text.
#pragma once

#include <string>
#include <string_view>

namespace varnokel::store_sql {

// PRAGMA application_id: tells the store from any other SQLite file.
inline constexpr int kApplicationId = 0x564B5354;  // "VKST"
// PRAGMA user_version: raised with every change of the schema below; a
// store of version 1 is brought up to date by its first writer.
inline constexpr int kSchemaVersion = 2;
inline constexpr int kFirstSchemaVersion = 1;
inline constexpr std::string_view kUpgradeFromFirstVersion =
    "BEGIN IMMEDIATE; ALTER TABLE server_map ADD COLUMN last_seen INTEGER; "
    "PRAGMA user_version = 2; COMMIT;";

inline constexpr std::string_view kConnectionSettings =
    "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL; PRAGMA foreign_keys = OFF; "
    "PRAGMA cache_size = -32768;";  // 32 MB: a commit's changes touch pages all over

// How long a writer waits for readers outside this program (an operator's
// `sqlite3`) before its commit gives up on the store.
inline constexpr int kBusyWaitMilliseconds = 10000;

// A new store is built under another name and renamed into place when whole:
// it needs no rollback journal, and one sync at its end.
inline constexpr std::string_view kBuildSettings =
    "PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL;";

inline constexpr std::string_view kSchema = R"sql(
CREATE TABLE store_state (
  one INTEGER PRIMARY KEY CHECK (one = 1),
  last_commit INTEGER NOT NULL);
INSERT INTO store_state VALUES (1, 0);
CREATE TABLE player (nr INTEGER PRIMARY KEY, id TEXT NOT NULL UNIQUE);
CREATE TABLE map (nr INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE server (nr INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE weapon (nr INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);
CREATE TABLE player_day (
  player INTEGER NOT NULL, day INTEGER NOT NULL, map INTEGER NOT NULL, server INTEGER NOT NULL,
  kills INTEGER NOT NULL, deaths INTEGER NOT NULL, headshots INTEGER NOT NULL,
  suicides INTEGER NOT NULL, team_kills INTEGER NOT NULL, bombs_planted INTEGER NOT NULL,
  bombs_defused INTEGER NOT NULL, hostages_rescued INTEGER NOT NULL,
  seconds INTEGER NOT NULL, sessions INTEGER NOT NULL,
  PRIMARY KEY (player, day, map, server)) WITHOUT ROWID;
CREATE TABLE weapon_day (
  player INTEGER NOT NULL, day INTEGER NOT NULL, weapons TEXT NOT NULL,
  PRIMARY KEY (player, day)) WITHOUT ROWID;
CREATE TABLE player_name (
  player INTEGER NOT NULL, name TEXT NOT NULL, first_day INTEGER NOT NULL,
  last_day INTEGER NOT NULL,
  PRIMARY KEY (player, name)) WITHOUT ROWID;
CREATE TABLE session (
  player INTEGER NOT NULL, begin INTEGER, end INTEGER, map INTEGER NOT NULL,
  server INTEGER NOT NULL);
CREATE TABLE server_map (
  server INTEGER PRIMARY KEY, map INTEGER NOT NULL, last_seen INTEGER);
CREATE TABLE map_day (
  map INTEGER NOT NULL, day INTEGER NOT NULL, starts INTEGER NOT NULL,
  seconds INTEGER NOT NULL,
  PRIMARY KEY (map, day)) WITHOUT ROWID;

CREATE VIEW spieler_tage (spieler, tag, karte, server, kills, tode, headshots, sekunden) AS
  SELECT player.id, CASE WHEN d.day >= 0 THEN date(d.day * 86400, 'unixepoch') END,
         map.name, server.name, d.kills, d.deaths, d.headshots, d.seconds
  FROM player_day AS d JOIN player ON player.nr = d.player JOIN map ON map.nr = d.map
       JOIN server ON server.nr = d.server;
CREATE VIEW waffen_tage (spieler, tag, waffe, kills, headshots) AS
  WITH RECURSIVE entries (player, day, entry, rest) AS (
    SELECT player, day, '', weapons FROM weapon_day
    UNION ALL
    SELECT player, day, substr(rest, 1, instr(rest, ';') - 1), substr(rest, instr(rest, ';') + 1)
    FROM entries WHERE rest <> '')
  SELECT player.id, CASE WHEN e.day >= 0 THEN date(e.day * 86400, 'unixepoch') END, weapon.name,
         CAST(substr(e.entry, instr(e.entry, ':') + 1) AS INTEGER),
         CASE WHEN instr(substr(e.entry, instr(e.entry, ':') + 1), ':') > 0
              THEN CAST(substr(substr(e.entry, instr(e.entry, ':') + 1),
                               instr(substr(e.entry, instr(e.entry, ':') + 1), ':') + 1) AS INTEGER)
              ELSE 0 END
  FROM entries AS e JOIN player ON player.nr = e.player
       JOIN weapon ON weapon.nr = CAST(e.entry AS INTEGER)
  WHERE e.entry <> '';
CREATE VIEW namen (spieler, name, erster_tag, letzter_tag) AS
  SELECT player.id, n.name,
         CASE WHEN n.first_day >= 0 THEN date(n.first_day * 86400, 'unixepoch') END,
         CASE WHEN n.last_day >= 0 THEN date(n.last_day * 86400, 'unixepoch') END
  FROM player_name AS n JOIN player ON player.nr = n.player;
CREATE VIEW sitzungen (spieler, beginn, ende, karte, server) AS
  SELECT player.id, datetime(s.begin, 'unixepoch'), datetime(s.end, 'unixepoch'), map.name,
         server.name
  FROM session AS s JOIN player ON player.nr = s.player JOIN map ON map.nr = s.map
       JOIN server ON server.nr = s.server;
)sql";

// The whole of a new store, in one transaction.
inline std::string CreateStatements() {
  return "BEGIN; " + std::string(kSchema) +
         "PRAGMA application_id = " + std::to_string(kApplicationId) +
         "; PRAGMA user_version = " + std::to_string(kSchemaVersion) + "; COMMIT;";
}

// A commit's changes: written while no other writer may begin.
inline constexpr std::string_view kBegin = "BEGIN IMMEDIATE";
inline constexpr std::string_view kCommit = "COMMIT";
inline constexpr const char* kRollback = "ROLLBACK";

inline constexpr std::string_view kReadVersion = "PRAGMA user_version";
inline constexpr std::string_view kReadApplicationId = "PRAGMA application_id";
inline constexpr std::string_view kReadLastCommit = "SELECT last_commit FROM store_state";
inline constexpr std::string_view kWriteLastCommit = "UPDATE store_state SET last_commit = ?1";

// The numbers of names: added when new, then looked up.
inline constexpr std::string_view kAddPlayer = "INSERT OR IGNORE INTO player (id) VALUES (?1)";
inline constexpr std::string_view kFindPlayer = "SELECT nr FROM player WHERE id = ?1";
inline constexpr std::string_view kAddMap = "INSERT OR IGNORE INTO map (name) VALUES (?1)";
inline constexpr std::string_view kFindMap = "SELECT nr FROM map WHERE name = ?1";
inline constexpr std::string_view kAddServer = "INSERT OR IGNORE INTO server (name) VALUES (?1)";
inline constexpr std::string_view kFindServer = "SELECT nr FROM server WHERE name = ?1";
inline constexpr std::string_view kAddWeapon = "INSERT OR IGNORE INTO weapon (name) VALUES (?1)";
inline constexpr std::string_view kFindWeapon = "SELECT nr FROM weapon WHERE name = ?1";

// The aggregates of a commit, added to what the store holds.
// Inserts of many rows: a statement carries one row or kRowsPerInsert of
// them (its start, the rows' values joined by ", ", its end), so that a
// commit's thousands of rows take few statements.
inline constexpr int kRowsPerInsert = 64;
struct RowsInsert {
  std::string_view start, row, end;
  int columns;
};
inline constexpr RowsInsert kAddPlayerDays = {"INSERT INTO player_day VALUES ",
                                              "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", R"sql(
ON CONFLICT (player, day, map, server) DO UPDATE SET
  kills = kills + excluded.kills, deaths = deaths + excluded.deaths,
  headshots = headshots + excluded.headshots, suicides = suicides + excluded.suicides,
  team_kills = team_kills + excluded.team_kills,
  bombs_planted = bombs_planted + excluded.bombs_planted,
  bombs_defused = bombs_defused + excluded.bombs_defused,
  hostages_rescued = hostages_rescued + excluded.hostages_rescued,
  seconds = seconds + excluded.seconds, sessions = sessions + excluded.sessions)sql",
                                              14};
inline constexpr RowsInsert kAddSessions = {"INSERT INTO session VALUES ", "(?, ?, ?, ?, ?)", "",
                                            5};

inline std::string RowsStatement(const RowsInsert& insert, int rows) {
  std::string sql(insert.start);
  for (int row = 0; row < rows; ++row) sql.append(row == 0 ? "" : ", ").append(insert.row);
  return sql.append(insert.end);
}

// A day's packed weapons added to those the store holds: by the function
// kAddWeaponsFunction, which the writing connection brings.
inline constexpr const char* kAddWeaponsFunction = "weapons_added";
inline constexpr RowsInsert kAddWeaponDays = {"INSERT INTO weapon_day VALUES ", "(?, ?, ?)", R"sql(
ON CONFLICT (player, day) DO UPDATE SET weapons = weapons_added(weapons, excluded.weapons))sql",
                                              3};
inline constexpr std::string_view kAddName = R"sql(
INSERT INTO player_name VALUES (?1, ?2, ?3, ?4)
ON CONFLICT (player, name) DO UPDATE SET
  first_day = min(first_day, excluded.first_day), last_day = max(last_day, excluded.last_day))sql";
// The map running on each server at the end of the last commit, and the
// moment of the last line folded from it (NULL: not known): where a log read
// on in parts goes on, its earlier lines are not at hand.
inline constexpr std::string_view kReadServerMaps =
    "SELECT server.name, map.name, server_map.last_seen FROM server_map "
    "JOIN server ON server.nr = server_map.server JOIN map ON map.nr = server_map.map";
inline constexpr std::string_view kWriteServerMap =
    "INSERT OR REPLACE INTO server_map VALUES (?1, ?2, ?3)";
inline constexpr std::string_view kAddMapDay = R"sql(
INSERT INTO map_day VALUES (?1, ?2, ?3, ?4)
ON CONFLICT (map, day) DO UPDATE SET
  starts = starts + excluded.starts, seconds = seconds + excluded.seconds)sql";

// Everything the store holds through its views and per map and day, each in
// a fixed order: equal stores give equal dumps whatever their pages look like.
inline constexpr std::string_view kCanonicalDump[] = {
    "SELECT * FROM spieler_tage ORDER BY 1, 2, 3, 4",
    "SELECT * FROM waffen_tage ORDER BY 1, 2, 3",
    "SELECT * FROM namen ORDER BY 1, 2",
    "SELECT * FROM sitzungen ORDER BY 1, 2, 3, 4, 5",
    "SELECT p.id, d.day, m.name, s.name, d.suicides, d.team_kills, d.bombs_planted, "
    "d.bombs_defused, d.hostages_rescued, d.sessions FROM player_day AS d "
    "JOIN player AS p ON p.nr = d.player JOIN map AS m ON m.nr = d.map "
    "JOIN server AS s ON s.nr = d.server ORDER BY 1, 2, 3, 4",
    "SELECT m.name, d.day, d.starts, d.seconds FROM map_day AS d JOIN map AS m ON m.nr = d.map "
    "ORDER BY 1, 2",
    "SELECT s.name, m.name, server_map.last_seen FROM server_map "
    "JOIN server AS s ON s.nr = server_map.server "
    "JOIN map AS m ON m.nr = server_map.map ORDER BY 1",
    "SELECT last_commit FROM store_state",
};

// What the site's history pages read: names by number, then the sums with
// numbers, rows of days that were no date left out.
inline constexpr std::string_view kHistoryPlayers = "SELECT nr, id FROM player";
inline constexpr std::string_view kHistoryMaps = "SELECT nr, name FROM map";
inline constexpr std::string_view kHistoryServers = "SELECT nr, name FROM server";
inline constexpr std::string_view kHistoryPlayerDays =
    "SELECT player, day, map, server, kills, deaths, headshots, seconds, "
    "bombs_planted + bombs_defused FROM player_day WHERE day >= 0";
inline constexpr std::string_view kHistoryWeapons = "SELECT nr, name FROM weapon";
// One row packs a player's day (see above); the reader takes it apart.
inline constexpr std::string_view kHistoryWeaponDays =
    "SELECT player, day, weapons FROM weapon_day WHERE day >= 0";
inline constexpr std::string_view kHistoryNames =
    "SELECT player, name, first_day, last_day FROM player_name WHERE first_day >= 0";
// Sessions in the order they were added; the reader sorts them by begin and end.
inline constexpr std::string_view kHistorySessions =
    "SELECT player, begin, end, map, server FROM session "
    "WHERE begin IS NOT NULL AND end IS NOT NULL";
inline constexpr std::string_view kHistoryMapDays =
    "SELECT map, day, starts, seconds FROM map_day WHERE day >= 0";

}  // namespace varnokel::store_sql
