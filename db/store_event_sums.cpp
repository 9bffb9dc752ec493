#include "db/store_event_sums.h"

#include <algorithm>

#include "db/player_record.h"

namespace varnokel {

namespace {

constexpr int64_t kSecondsPerDay = 24 * 60 * 60;

int64_t DayOfMoment(const Moment& moment) {
  return moment.seconds >= 0 ? moment.seconds / kSecondsPerDay
                             : (moment.seconds - kSecondsPerDay + 1) / kSecondsPerDay;
}

// The moment `time` of day number `day` (none on an unknown day).
Moment MomentOn(int64_t day, std::string_view time) {
  if (day == kUnknownDay) return {};
  return Moment{true, day * kSecondsPerDay + TimeSeconds(time)};
}

}  // namespace

Moment MomentAt(const LineClock& clock) {
  return MomentOn(DayNumber(clock.date).value_or(kUnknownDay), clock.time);
}

int64_t StoreEventSums::Day(std::string_view date) {
  if (date != last_date_) {
    last_date_ = date;
    last_day_ = DayNumber(date).value_or(kUnknownDay);
  }
  return last_day_;
}

Moment StoreEventSums::MomentOf(const LineClock& clock) {
  return MomentOn(Day(clock.date), clock.time);
}

PlayerDayCounts& StoreEventSums::Counts(PlayerNumber player, std::string_view date) {
  return changes_.PlayerDay({player, map_, server_, Day(date)});
}

// The number of the kill's weapon name; the 24 are looked up once.
uint32_t StoreEventSums::WeaponName(int weapon, std::string_view weapon_name) {
  if (weapon == 0) return weapon_name.empty() ? kNoName : changes_.Name(weapon_name);
  uint32_t& number = weapon_names_[static_cast<size_t>(weapon)];
  if (number == kNoName) number = changes_.Name(kWeaponNames[static_cast<size_t>(weapon - 1)]);
  return number;
}

// A map that ran on before the first folded line counts from the line
// before it, so that a log folded in parts runs its maps as long as one
// folded whole.
void StoreEventSums::BeginLog(std::string_view server, std::string_view map, const LineClock& first,
                              const Moment& since) {
  server_ = changes_.Name(server);
  map_ = changes_.Name(map);
  run_start_ = map.empty() ? Moment{} : MomentOf(first);
  if (run_start_.known && since.known && since.seconds <= run_start_.seconds) run_start_ = since;
}

void StoreEventSums::EndLog(const LineClock& last) {
  CloseRun(last);
  changes_.ServerMap(server_, map_, MomentOf(last));
}

// The current map ran from run_start_ to `end`: its seconds count for the
// days they fell on.
void StoreEventSums::CloseRun(const LineClock& end) {
  const Moment stop = MomentOf(end);
  if (run_start_.known && stop.known) {
    for (int64_t from = run_start_.seconds; from < stop.seconds;) {
      const int64_t day = DayOfMoment({true, from});
      const int64_t to = std::min(stop.seconds, (day + 1) * kSecondsPerDay);
      changes_.MapDay({map_, day}).seconds += to - from;
      from = to;
    }
  }
  run_start_ = {};
}

void StoreEventSums::Map(const MapLine& map, const LineClock& clock) {
  CloseRun(clock);
  map_ = changes_.Name(map.map);
  if (!map.started) return;
  run_start_ = MomentOf(clock);
  ++changes_.MapDay({map_, Day(clock.date)}).starts;
}

void StoreEventSums::AddKill(const Kill& kill) {
  PlayerDayCounts& counts = Counts(kill.killer, kill.date);
  ++counts.kills;
  if (kill.headshot) ++counts.headshots;
  if (kill.team_kill && kill.killer != kill.victim) ++counts.team_kills;
  ++Counts(kill.victim, kill.date).deaths;
  const uint32_t weapon_name = WeaponName(kill.weapon, kill.weapon_name);
  if (weapon_name == kNoName) return;
  WeaponDayCounts& weapon = changes_.WeaponDay({kill.killer, weapon_name, Day(kill.date)});
  ++weapon.kills;
  if (kill.headshot) ++weapon.headshots;
}

void StoreEventSums::Suicide(PlayerNumber player, const LineClock& clock) {
  ++Counts(player, clock.date).suicides;
}

void StoreEventSums::ObjectiveEvent(PlayerNumber player, Objective objective,
                                    const LineClock& clock) {
  switch (objective) {
    case Objective::kPlantedTheBomb:
      ++Counts(player, clock.date).bombs_planted;
      break;
    case Objective::kDefusedTheBomb:
      ++Counts(player, clock.date).bombs_defused;
      break;
    case Objective::kRescuedAHostage:
      ++Counts(player, clock.date).hostages_rescued;
      break;
    default:
      break;  // the player files count the others
  }
}

void StoreEventSums::NameSeen(PlayerNumber player, std::string_view name, const LineClock& clock) {
  changes_.NameSeen(player, changes_.Name(name), Day(clock.date));
}

void StoreEventSums::SessionEnded(PlayerNumber player, const LineClock& begin,
                                  const LineClock& end) {
  PlayerDayCounts& counts = Counts(player, end.date);
  counts.seconds += SessionSeconds(begin.date, begin.time, end.date, end.time);
  ++counts.sessions;
  changes_.AddSession({player, map_, server_, MomentOf(begin), MomentOf(end)});
}

}  // namespace varnokel
