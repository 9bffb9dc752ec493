// SPDX-License-Identifier: GPL-3.0-or-later
// What the site's history pages are made from: the event store's rows as
// the report reads them, with players, maps and servers numbered so that the
// pages count by index rather than by text. Everything is in days since
// 1970-01-01 (the log's own calendar, no time zone) and in whole seconds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace varnokel {

using DayNumber = int32_t;  // days since 1970-01-01

// Days since 1970-01-01 of a "YYYY-MM-DD" text; false when it is none.
bool ParseDay(std::string_view text, DayNumber& day);
// "YYYY-MM-DD" of a day number.
std::string DayText(DayNumber day);
// "DD.MM.YYYY" of a day number, as the site shows dates.
std::string GermanDayText(DayNumber day);

// One player's counts on one day, map and server.
struct PlayerDayRow {
  uint32_t player = 0;
  DayNumber day = 0;
  uint32_t map = 0;  // index into SiteHistory::maps ("" for none)
  uint32_t server = 0;
  int64_t kills = 0;
  int64_t deaths = 0;
  int64_t headshots = 0;
  int64_t seconds = 0;     // play time of the sessions that ended that day
  int64_t objectives = 0;  // bombs planted and defused
};

// One player's kills with one weapon (any name the log writes) on one day.
struct WeaponDayRow {
  uint32_t player = 0;
  DayNumber day = 0;
  std::string weapon;
  int64_t kills = 0;
  int64_t headshots = 0;
};

// A name a player used, and the first and last day it was seen.
struct NameRow {
  uint32_t player = 0;
  std::string name;
  DayNumber first = 0;
  DayNumber last = 0;
};

// One session, begun and ended at moments of the log's clock: seconds since
// 1970-01-01 00:00:00 as the log wrote the date and time.
struct SessionRow {
  uint32_t player = 0;
  int64_t begin = 0;
  int64_t end = 0;
  uint32_t map = 0;
  uint32_t server = 0;
};

// True for moments of the years 0000 to 9999, which a page can show.
bool IsShownMoment(int64_t moment);
// "YYYY-MM-DD HH:MM:SS" of a moment (as the store's views show it), "" when
// it is not IsShownMoment.
std::string MomentText(int64_t moment);

// How often a map was started on one day and the minutes it ran.
struct MapDayRow {
  uint32_t map = 0;
  DayNumber day = 0;
  int64_t starts = 0;
  int64_t minutes = 0;
};

struct SiteHistory {
  std::vector<std::string> players;  // player ids, by index
  std::vector<std::string> maps;     // map names, by index ("" for lines before any map)
  std::vector<std::string> servers;  // server names, by index ("" for none given)
  std::vector<PlayerDayRow> days;
  std::vector<WeaponDayRow> weapons;
  std::vector<NameRow> names;
  std::vector<SessionRow> sessions;  // by begin, then end: oldest first
  std::vector<MapDayRow> map_days;
};

// Builds a SiteHistory from rows that name players, maps and servers by
// their texts; the rows keep the order they are added in.
class SiteHistoryBuilder {
 public:
  uint32_t Player(std::string_view id);
  uint32_t Map(std::string_view name);
  uint32_t Server(std::string_view name);
  SiteHistory& history() { return history_; }
  SiteHistory Take();

 private:
  using Numbers = std::unordered_map<std::string, uint32_t>;
  static uint32_t IndexOf(std::vector<std::string>& texts, Numbers& numbers, std::string_view text);

  SiteHistory history_;
  Numbers player_numbers_, map_numbers_, server_numbers_;
};

// The history of the database in `database_dir` as its event store holds
// it; empty when the database has no store.
SiteHistory ReadSiteHistory(const std::filesystem::path& database_dir);

// True for the players the game itself plays: left out of every ranking of
// the history pages (the seed's tables keep them) and shown once, as bots.
bool IsBotId(std::string_view id);

}  // namespace varnokel
