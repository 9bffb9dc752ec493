// SPDX-License-Identifier: GPL-3.0-or-later
// Speed and memory of the database update run on a generated log, side by
// side with `wc -l` and a plain read-and-split of the same file, measured in
// the same run (min and median of interleaved rounds):
//
//   bench-update [LINES [PLAYERS [ROUNDS]]]   (default 1000000 lines, 500 players, 5)
//
// Stages: load (the file into the LogBuffer), plan (the log's lines cut into
// chunks and matched against the ledger), fold (player files read, lines
// folded) and commit (files staged and moved into place with the ledger and
// the event store's changes; of it, what makes the commit durable: the
// journal written and synced, the folder and the file system synced). The
// same update without the event store beside it gives the store's share
// (target: at most 1.3 x), and the store's size per player and day is
// printed (target: about 200 bytes at most), then the ledger's size against
// the log's. Peak memory is that of one whole load + update in a fresh
// process (this program started again), against the target of 1.2 x the
// log + 60 MB.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "db/database_lock.h"
#include "db/event_store.h"
#include "db/ledger.h"
#include "db/update_plan.h"
#include "db/update_run.h"
#include "log/log_buffer.h"
#include "log/log_lines.h"
#include "tests/core/update_reference.h"
#include "tools/loggen/log_generator.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

size_t ReadAndSplit(const fs::path& log) {
  std::string bytes = varnokel::ReadFileBytes(log);
  size_t nonempty = 0;
  size_t lines = varnokel::ForEachLine(
      bytes, [&](std::string_view line) { nonempty += line.empty() ? 0 : 1; });
  return lines + nonempty % 2;  // keeps the loop from being optimised away
}

double WcSeconds(const fs::path& log) {
  const std::string command = "wc -l '" + log.string() + "' > /dev/null";
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "wc -l failed\n");
  return Since(start);
}

struct Stages {
  double load = 0, plan = 0, fold = 0, commit = 0;
  double durable = 0;  // of the commit: the journal and the syncs
  double total = 0;    // wall time of all of it, the lock included
};

// One load and update into a fresh database folder `db`. (Folders are only
// removed at the end: on a file system mounted with discard, deleting many
// files slows the creation of the next ones for a while.)
Stages UpdateOnce(const fs::path& log, const fs::path& db, bool event_store = true) {
  fs::create_directories(db);
  Stages stages;
  const auto begin = Clock::now();
  auto start = begin;
  varnokel::LogBuffer buffer;
  varnokel::LoadLogFile(buffer, log);
  stages.load = Since(start);
  const varnokel::DatabaseLock lock(db, varnokel::DatabaseLock::Access::kWrite);
  start = Clock::now();
  const varnokel::UpdatePlan plan =
      varnokel::PlanUpdate(buffer, varnokel::Ledger::Read(db), /*again=*/false);
  stages.plan = Since(start);
  std::string reference_line;
  varnokel::UpdateOptions update_options;
  update_options.event_store = event_store;
  const varnokel::UpdateSummary summary =
      varnokel::DatabaseUpdateRun(lock, buffer, plan, reference_line, update_options);
  stages.fold = summary.fold_seconds;
  stages.commit = summary.commit_seconds;
  stages.durable = summary.durable_seconds;
  stages.total = Since(begin);
  return stages;
}

// The child that PeakMegabytes starts: loads and updates once, then prints
// its peak resident memory in kilobytes.
constexpr std::string_view kPeakChild = "--peak-child";

int PeakChild(const fs::path& log, const fs::path& db) {
  UpdateOnce(log, db);
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("%ld\n", usage.ru_maxrss);
  return 0;
}

// Peak resident memory of a fresh process (this program started again, so
// that none of this process's pages count) that loads and updates once, in
// MB.
double PeakMegabytes(const fs::path& log, const fs::path& db) {
  const std::string command = "/proc/" + std::to_string(::getpid()) + "/exe " +
                              std::string(kPeakChild) + " '" + log.string() + "' '" + db.string() +
                              "'";
  FILE* child = ::popen(command.c_str(), "r");
  if (child == nullptr) return -1;
  long kilobytes = -1024;
  if (std::fscanf(child, "%ld", &kilobytes) != 1) kilobytes = -1024;
  ::pclose(child);
  return static_cast<double>(kilobytes) / 1024.0;
}

// The event store's size against the player-days it holds.
void PrintStoreSize(const fs::path& db) {
  const double bytes = static_cast<double>(fs::file_size(varnokel::EventStorePath(db)));
  double player_days = 0, rows = 0, weapon_rows = 0, sessions = 0;
  const varnokel::EventStore store(db, varnokel::EventStore::Access::kRead);
  auto count = [&](const char* sql, double& out) {
    store.ForEachRow(sql, [&](const std::vector<std::string>& row) { out = std::stod(row[0]); });
  };
  count("SELECT count(*) FROM (SELECT DISTINCT spieler, tag FROM spieler_tage)", player_days);
  count("SELECT count(*) FROM spieler_tage", rows);
  count("SELECT count(*) FROM waffen_tage", weapon_rows);
  count("SELECT count(*) FROM sitzungen", sessions);
  std::printf(
      "event store:                     %6.2f MB; %.0f player-days (%.0f rows per map and "
      "server, %.0f weapon rows, %.0f sessions)\n",
      bytes / (1024.0 * 1024.0), player_days, rows, weapon_rows, sessions);
  std::printf("store bytes per player-day:      %6.0f (target about 200 at most)\n",
              bytes / player_days);
}

struct Series {
  std::vector<double> values;
  double Min() const { return *std::min_element(values.begin(), values.end()); }
  double Median() const {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && argv[1] == kPeakChild) return PeakChild(argv[2], argv[3]);
  varnokel::loggen::LogGenOptions options;
  options.lines = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  options.players = argc > 2 ? std::atoi(argv[2]) : 500;
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  options.max_online = 32;
  options.bots = 4;

  const fs::path work =
      fs::temp_directory_path() / ("varnokel-bench-" + std::to_string(::getpid()));
  fs::create_directories(work);
  const fs::path log = work / "big.log";
  {
    std::ofstream out(log, std::ios::binary);
    varnokel::loggen::GenerateLog(options, out);
  }
  const double mb = static_cast<double>(fs::file_size(log)) / (1024.0 * 1024.0);
  std::printf("log: %zu lines, %d players, %.1f MB; %d rounds\n\n", options.lines, options.players,
              mb, rounds);

  std::map<std::string, Series> series;
  for (int round = 0; round < rounds; ++round) {
    series["wc -l"].values.push_back(WcSeconds(log));
    auto start = Clock::now();
    ReadAndSplit(log);
    series["read and split"].values.push_back(Since(start));
    const Stages stages = UpdateOnce(log, work / ("db" + std::to_string(round)));
    series["update: load"].values.push_back(stages.load);
    series["update: plan"].values.push_back(stages.plan);
    series["update: fold"].values.push_back(stages.fold);
    series["update: commit"].values.push_back(stages.commit);
    series["update: durable"].values.push_back(stages.durable);
    series["update in all"].values.push_back(stages.total);
    const Stages without = UpdateOnce(log, work / ("plain" + std::to_string(round)), false);
    series["no store: fold"].values.push_back(without.fold);
    series["no store: commit"].values.push_back(without.commit);
    series["no store: durable"].values.push_back(without.durable);
    series["no store in all"].values.push_back(without.total);
  }
  const double lines = static_cast<double>(options.lines);
  std::printf("%-16s %9s %9s %14s\n", "", "min s", "median s", "lines/s (min)");
  for (const char* name :
       {"wc -l", "read and split", "update: load", "update: plan", "update: fold", "update: commit",
        "update: durable", "update in all", "no store: fold", "no store: commit",
        "no store: durable", "no store in all"}) {
    const Series& s = series[name];
    std::printf("%-16s %9.4f %9.4f %14.0f\n", name, s.Min(), s.Median(), lines / s.Min());
  }
  const Series& all = series["update in all"];
  std::printf("\nupdate / wc -l (medians):        %6.2f\n",
              all.Median() / series["wc -l"].Median());
  std::printf("update / read and split:         %6.2f\n",
              all.Median() / series["read and split"].Median());
  // What makes a commit durable is held to its target; the commit as a
  // whole also writes the player files and the store's rows.
  std::printf("commit share of the update:      %5.1f %% (without the event store: %.1f %%)\n",
              100 * series["update: commit"].Median() / all.Median(),
              100 * series["no store: commit"].Median() / series["no store in all"].Median());
  std::printf("of it, journal and syncs:        %5.1f %% (target at most 10 %%)\n",
              100 * series["update: durable"].Median() / all.Median());
  std::printf("with / without the event store:  %6.2f (medians; target at most 1.3)\n",
              all.Median() / series["no store in all"].Median());
  PrintStoreSize(work / "db0");
  const double ledger_bytes = static_cast<double>(fs::file_size(work / "db0" / ".ledger"));
  std::printf("ledger:                          %6.0f bytes, %.3f %% of the log\n", ledger_bytes,
              100 * ledger_bytes / static_cast<double>(fs::file_size(log)));
  std::printf("peak memory:                     %6.1f MB (target 1.2 x log + 60 MB = %.1f MB)\n",
              PeakMegabytes(log, work / "db-peak"), 1.2 * mb + 60);

  // The straightforward run (a file read and rewrite per event) on a slice.
  const size_t slice = std::min<size_t>(options.lines, 500);
  options.lines = slice;
  varnokel::LogBuffer small;
  small.Append(varnokel::LogContribution(varnokel::loggen::GenerateLog(options)));
  fs::create_directories(work / "ref");
  std::string reference_line;
  auto start = Clock::now();
  varnokel::DatabaseUpdateRunReference(small, work / "ref", reference_line);
  const double ref_seconds = Since(start);
  std::printf("reference run (%zu lines):       %8.3f s  %12.0f lines/s\n", slice, ref_seconds,
              static_cast<double>(slice) / ref_seconds);

  fs::remove_all(work);
  return 0;
}
