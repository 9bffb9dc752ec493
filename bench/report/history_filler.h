// SPDX-License-Identifier: GPL-3.0-or-later
// Fills a database's event store for the report benchmark with what a few
// months of a busy server leave: each player on a few days, on a few maps of
// two servers, with a few weapons, under a name or two, one session a day.
// The rows go in through the store's own journal record, as an update run's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace varnokel::bench {

// The player id of player number `n`, as the benchmark's player files name it.
std::string BenchPlayerId(int n);

// Makes the store of `database` (which must hold no player files yet) with
// the history of players 0 .. players-1, the last of it on `today` (days
// since 1970-01-01).
void FillHistory(const std::filesystem::path& database, int players, int64_t today);

// One session more today for `count` players spread over the store, as the
// update run adds it; `round` varies who and what.
void AddSessions(const std::filesystem::path& database, int players, int count, int round,
                 int64_t today);

}  // namespace varnokel::bench
