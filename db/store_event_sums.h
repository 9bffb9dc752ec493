// SPDX-License-Identifier: GPL-3.0-or-later
// Turns the event store's events of the folded lines, in log order, into the
// sums of StoreChanges. It keeps what a line does not say itself: the server
// of the log and the map running in it. (StoreFold feeds it on a thread of its
// own.)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/store_changes.h"
#include "log/line_events.h"
#include "log/match_recognisers.h"
#include "log/weapon_names.h"

namespace varnokel {

// A line's DATE and TIME, as the line writes them.
struct LineClock {
  std::string_view date, time;
};

// The moment of a line's clock (unknown when its date is no MM/DD/YYYY date).
Moment MomentAt(const LineClock& clock);

class StoreEventSums {
 public:
  static constexpr uint32_t kNoName = UINT32_MAX;
  StoreEventSums() { weapon_names_.fill(kNoName); }

  // A player's number in the changes (the fold keeps it with the player).
  using PlayerNumber = uint32_t;
  PlayerNumber Player(std::string_view id) { return changes_.Name(id); }

  // A log begins (or goes on from where an earlier update stopped): `server`
  // wrote it, `map` runs at its first folded line (empty: none known yet),
  // written at `first`; `since`, when known, is the moment of the log's line
  // before it, folded earlier: the map has run since then.
  void BeginLog(std::string_view server, std::string_view map, const LineClock& first,
                const Moment& since = {});
  // The log's folded part ends with a line written at `last`.
  void EndLog(const LineClock& last);

  void Map(const MapLine& map, const LineClock& clock);
  // A kill of `victim` by `killer`, on the day of `date`, with weapon
  // number `weapon` (0: another, named `weapon_name`; none when empty).
  struct Kill {
    PlayerNumber killer, victim;
    std::string_view date;
    int weapon = 0;
    std::string_view weapon_name;
    bool headshot = false;
    bool team_kill = false;  // killer and victim were in the same team
  };
  void AddKill(const Kill& kill);
  void Suicide(PlayerNumber player, const LineClock& clock);
  void ObjectiveEvent(PlayerNumber player, Objective objective, const LineClock& clock);
  void NameSeen(PlayerNumber player, std::string_view name, const LineClock& clock);
  // A session that began at `begin` (the player file's last entry) and ends
  // with a "disconnected" line at `end`; it counts for the day it ends.
  void SessionEnded(PlayerNumber player, const LineClock& begin, const LineClock& end);

  const StoreChanges& changes() const { return changes_; }

 private:
  int64_t Day(std::string_view date);
  Moment MomentOf(const LineClock& clock);
  PlayerDayCounts& Counts(PlayerNumber player, std::string_view date);
  uint32_t WeaponName(int weapon, std::string_view weapon_name);
  void CloseRun(const LineClock& end);

  StoreChanges changes_;
  uint32_t server_ = 0, map_ = 0;  // of the current log
  Moment run_start_;               // the current map runs since then (when known)
  std::string last_date_;          // Day's cache: the last date and its day
  int64_t last_day_ = kUnknownDay;
  std::array<uint32_t, kWeaponCount + 1> weapon_names_;  // numbers of the 24 by weapon number
};

}  // namespace varnokel
