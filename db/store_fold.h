// SPDX-License-Identifier: GPL-3.0-or-later
// The event store's side of the update run. The fold hands it the store's
// events of each line, in log order; it copies what they say into batches and
// sums them (StoreEventSums) on a thread of its own, so that the store costs
// the fold little more than those copies. Texts are copied: the lines a
// batch came from may be gone before the thread reaches it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/store_event_sums.h"

namespace varnokel {

class StoreFold {
 public:
  static constexpr uint32_t kNoName = StoreEventSums::kNoName;
  using PlayerNumber = StoreEventSums::PlayerNumber;

  StoreFold();
  ~StoreFold();
  StoreFold(StoreFold&&) noexcept;  // the thread stays with the batches it sums
  StoreFold& operator=(StoreFold&&) noexcept;

  // The number of a player id in this fold (the fold keeps it with the player).
  PlayerNumber Player(std::string_view id);

  // As StoreEventSums: a log begins or goes on, its folded part ends, and
  // the events of its lines.
  void BeginLog(std::string_view server, std::string_view map, const LineClock& first,
                const Moment& since = {});
  void EndLog(const LineClock& last);
  void Map(const MapLine& map, const LineClock& clock);
  // A kill of `victim` by `killer`; `teams` as TeamsOfKill found them.
  void Kill(PlayerNumber killer, PlayerNumber victim, const LineEvents& e,
            const std::optional<KillTeams>& teams);
  void Suicide(PlayerNumber player, const LineClock& clock);
  void ObjectiveEvent(PlayerNumber player, Objective objective, const LineClock& clock);
  void NameSeen(PlayerNumber player, std::string_view name, const LineClock& clock);
  void SessionEnded(PlayerNumber player, const LineClock& begin, const LineClock& end);

  // The sums of every event handed over so far: waits for the thread to add
  // them (const: it changes nothing the caller sees). Rethrows what the
  // thread failed with.
  const StoreChanges& changes() const;

 private:
  class Summing;  // the batches and the thread that sums them

  struct IdHash {
    using is_transparent = void;
    size_t operator()(std::string_view id) const { return std::hash<std::string_view>{}(id); }
  };
  std::unordered_map<std::string, PlayerNumber, IdHash, std::equal_to<>> players_;  // id -> number
  std::unique_ptr<Summing> summing_;
};

}  // namespace varnokel
