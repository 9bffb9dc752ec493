// SPDX-License-Identifier: GPL-3.0-or-later
// Speed and memory of the report run over generated databases: the first
// report (an empty site folder) and the report after a small change (100
// players changed since the last report), side by side, for each size.
//
//   report_bench [--dir DIR] [--runs N] [PLAYERS...]
//       (default: the folder of this program, 5 runs, 1000 10000 100000)
//
// The sites go into DIR, which must be a real file system (a RAM disk would
// hide what the report run costs the kernel). Each timed run is a child
// process of its own, so that its times and peak memory are its own. The
// first reports are interleaved: round after round, every size gets one with
// and one without history, so that a burst of load from the other users of
// the machine falls on both alike; the reports after a change follow. Before each timed run the
// file system is synced, so no run pays for writing back the last one's pages. The site of the last
// first report is moved aside, not deleted, until the end: ext4 allocating an inode passes over
// those freed in the last 30 s one by one, which would make the next first report pay for the
// deletion.
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "bench/report/history_filler.h"
#include "db/player_file.h"
#include "report/report_run.h"

namespace fs = std::filesystem;

namespace {

constexpr int kChangedPlayers = 100;
constexpr int kDefaultRuns = 5;
constexpr long kTmpfsMagic = 0x01021994;
constexpr int kWeaponsPlayedInASession = 3;
constexpr int64_t kSecondsPerDay = 24 * 60 * 60;
constexpr size_t kLargestPagesShown = 12;

int64_t Today() {
  return static_cast<int64_t>(std::time(nullptr)) / kSecondsPerDay;
}

// A player file as the update run leaves it after a leave: 44 fields with
// CR LF and the skill line. Names repeat now and then, as on a real server.
std::string PlayerBytes(int n, std::mt19937& random) {
  std::vector<std::string> fields = {varnokel::bench::BenchPlayerId(n), "03/15/2003", "20:14:07",
                                     "Player " + std::to_string(random() % 50000)};
  for (int f = 4; f < 44; ++f) fields.push_back(std::to_string(random() % (f >= 20 ? 40 : 15)));
  fields[18] = "03/16/2003";
  fields[19] = std::to_string(random() % 400000);
  std::string bytes;
  for (const std::string& field : fields) bytes += field + "\r\n";
  return bytes + "100";
}

std::string PlayerFileName(int n) {
  return varnokel::bench::BenchPlayerId(n) + ".db";
}

// One session more for `count` players spread over the database, as an update
// run leaves them: a few kills with a few weapons, deaths, playing time.
void ChangePlayers(const fs::path& database, int players, int count, int round) {
  std::mt19937 random(1000 + round);
  for (int k = 0; k < count; ++k) {
    const int n = (round * 7 + k * (players / count)) % players;
    const fs::path file = database / PlayerFileName(n);
    varnokel::Fields fields = varnokel::SplitFields(varnokel::ReadFileText(file));
    int32_t kills = 0;
    for (int w = 0; w < kWeaponsPlayedInASession; ++w) {
      const int field = varnokel::kFirstWeaponField + static_cast<int>(random() % 24);
      const int32_t more = 1 + static_cast<int32_t>(random() % 5);
      fields[field] = std::to_string(varnokel::Atoi(fields[field]) + more);
      kills += more;
    }
    using namespace varnokel::field;
    fields[kKills] = std::to_string(varnokel::Atoi(fields[kKills]) + kills);
    fields[kDeaths] = std::to_string(varnokel::Atoi(fields[kDeaths]) + 2);
    fields[kPlayTime] = std::to_string(varnokel::Atoi(fields[kPlayTime]) + 600);
    fields[kLeaveDate] = "03/17/2003";
    const std::string skill = fields.size() > 44 ? fields[44] : "";
    varnokel::WriteFileAtomic(file, varnokel::JoinFields(fields) + skill);
  }
  varnokel::bench::AddSessions(database, players, count, round, Today());
}

struct Sample {
  double wall = 0, user = 0, system = 0;  // seconds
  double peak_mb = 0;
  varnokel::SiteChanges changes;
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs the report in a child process and returns what it measured.
Sample TimedReport(const fs::path& program_dir, const fs::path& database) {
  ::sync();
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) std::exit(1);
  const pid_t child = ::fork();
  if (child == 0) {
    varnokel::ColourSet colours;
    colours.fill("#123456");
    Sample sample;
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    sample.changes = varnokel::ReportRun(program_dir, database, colours);
    sample.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    sample.user = Seconds(after.ru_utime) - Seconds(before.ru_utime);
    sample.system = Seconds(after.ru_stime) - Seconds(before.ru_stime);
    sample.peak_mb = static_cast<double>(after.ru_maxrss) / 1024.0;
    const bool sent = ::write(pipe_ends[1], &sample, sizeof sample) == sizeof sample;
    std::_Exit(sent ? 0 : 1);
  }
  ::close(pipe_ends[1]);
  Sample sample;
  const bool received = ::read(pipe_ends[0], &sample, sizeof sample) == sizeof sample;
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "report run in %s failed\n", program_dir.c_str());
    std::exit(1);
  }
  return sample;
}

struct Spread {
  double min, median;
};

Spread SpreadOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return {values.front(), (values[(n - 1) / 2] + values[n / 2]) / 2};
}

// One size: a database, a site rewritten from nothing each round ("first")
// and a site kept up to date across rounds ("changed").
struct Size {
  int players;
  fs::path root;
  std::vector<Sample> first, changed, plain;

  fs::path Database() const { return root / "Datenbanken" / "db1"; }
  fs::path PlainDatabase() const { return root / "Datenbanken" / "db2"; }  // no store
  fs::path PlainSite() const { return root / "plain"; }
  fs::path FirstSite() const { return root / "first"; }
  fs::path ChangedSite() const { return root / "changed"; }
};

void SetUp(Size& size) {
  fs::create_directories(size.Database());
  fs::create_directories(size.PlainDatabase());
  varnokel::bench::FillHistory(size.Database(), size.players, Today());
  std::mt19937 random(4711);
  for (int n = 0; n < size.players; ++n) {
    varnokel::WriteFileAtomic(size.Database() / PlayerFileName(n), PlayerBytes(n, random));
    fs::create_hard_link(size.Database() / PlayerFileName(n),
                         size.PlainDatabase() / PlayerFileName(n));
  }
  TimedReport(size.ChangedSite(), size.Database());  // the last report before the changes
}

void PrintRow(const Size& size, std::string_view what, const std::vector<Sample>& samples) {
  std::vector<double> wall, user, system, peak;
  for (const Sample& s : samples) {
    wall.push_back(s.wall);
    user.push_back(s.user);
    system.push_back(s.system);
    peak.push_back(s.peak_mb);
  }
  const Spread w = SpreadOf(wall), u = SpreadOf(user), k = SpreadOf(system), p = SpreadOf(peak);
  const varnokel::SiteChanges& c = samples.back().changes;
  std::printf(
      "%7d  %-14s %7.3f / %7.3f  %7.3f / %7.3f  %7.3f / %7.3f  %8.1f  %7.1f  %6zu %6zu %3zu\n",
      size.players, std::string(what).c_str(), w.min, w.median, u.min, u.median, k.min, k.median,
      w.median * 1e6 / size.players, p.median, c.written, c.kept, c.removed);
}

double MedianWall(const std::vector<Sample>& samples) {
  std::vector<double> wall;
  for (const Sample& s : samples) wall.push_back(s.wall);
  return SpreadOf(wall).median;
}

double MedianCpu(const std::vector<Sample>& samples) {
  std::vector<double> cpu;
  for (const Sample& s : samples) cpu.push_back(s.user + s.system);
  return SpreadOf(cpu).median;
}

fs::path ProgramFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::current_path() : self.parent_path();
}

void MoveAside(const fs::path& site, const fs::path& trash, const std::string& name) {
  if (fs::exists(site / "html")) fs::rename(site / "html", trash / name);
}

// The history pages (and data files) of `site`, largest first.
void PrintLargestPages(const fs::path& site) {
  std::vector<std::pair<uintmax_t, std::string>> pages;
  for (const auto& entry : fs::recursive_directory_iterator(site)) {
    const std::string name = fs::relative(entry.path(), site).string();
    const bool in_folder = name.find('/') != std::string::npos;  // the seed's are not
    if (entry.is_regular_file() && in_folder) pages.emplace_back(entry.file_size(), name);
  }
  std::sort(pages.rbegin(), pages.rend());
  std::printf("largest history pages and data files of %s:\n", site.c_str());
  for (size_t k = 0; k < std::min(kLargestPagesShown, pages.size()); ++k)
    std::printf("  %9ju  %s\n", pages[k].first, pages[k].second.c_str());
  for (const char* page : {"index.html", "karten.htm", "verlauf.htm", "suche.htm"})
    std::printf("  %9ju  %s\n", fs::file_size(site / page), page);
}

}  // namespace

int main(int argc, char** argv) {
  fs::path dir = ProgramFolder();
  int runs = kDefaultRuns;
  std::vector<int> players;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      players.push_back(std::atoi(arg.c_str()));
    }
  }
  if (players.empty()) players = {1000, 10000, 100000};

  const fs::path work = dir / ("report-bench-" + std::to_string(::getpid()));
  fs::create_directories(work / "trash");
  struct statfs file_system {};
  if (::statfs(work.c_str(), &file_system) == 0 && file_system.f_type == kTmpfsMagic)
    std::fprintf(stderr, "warning: %s is a RAM disk; the kernel's share is not the real one\n",
                 work.c_str());

  std::vector<Size> sizes;
  for (int n : players) sizes.push_back({n, work / std::to_string(n), {}, {}, {}});
  for (Size& size : sizes) SetUp(size);
  // The first reports, with and without history, before any report after a
  // change: that one replaces pages, freeing their files, and a first report
  // within 30 s of it would pay for passing over them (see above).
  for (int round = 0; round < runs; ++round) {
    for (Size& size : sizes) {
      const std::string name = std::to_string(size.players) + "-" + std::to_string(round);
      MoveAside(size.FirstSite(), work / "trash", name);
      size.first.push_back(TimedReport(size.FirstSite(), size.Database()));
      MoveAside(size.PlainSite(), work / "trash", name + "-plain");
      size.plain.push_back(TimedReport(size.PlainSite(), size.PlainDatabase()));
    }
  }
  for (int round = 0; round < runs; ++round) {
    for (Size& size : sizes) {
      ChangePlayers(size.Database(), size.players, std::min(kChangedPlayers, size.players), round);
      size.changed.push_back(TimedReport(size.ChangedSite(), size.Database()));
    }
  }

  std::printf("report run, %d runs each, interleaved; site in %s\n", runs, work.c_str());
  std::printf("%7s  %-14s %17s  %17s  %17s  %8s  %7s  %6s %6s %3s\n", "players", "run",
              "wall s min / med", "user s min / med", "kernel s min/med", "us/plyr", "peak MB",
              "wrote", "kept", "rm");
  for (const Size& size : sizes) {
    PrintRow(size, "first report", size.first);
    PrintRow(size, "no history", size.plain);
    PrintRow(size, "after change", size.changed);
  }
  // The targets: a small change to a large database against a first report
  // of a tenth of it, and a first report costing the same per player at
  // every size.
  for (const Size& large : sizes) {
    for (const Size& small : sizes) {
      if (large.players != 10 * small.players) continue;
      std::printf("%d players after %d changed / first report of %d: %.2f wall, %.2f user+kernel\n",
                  large.players, kChangedPlayers, small.players,
                  MedianWall(large.changed) / MedianWall(small.first),
                  MedianCpu(large.changed) / MedianCpu(small.first));
    }
  }
  for (const Size& size : sizes)
    std::printf("%d players, first report with history / without: %.2f wall, %.2f user+kernel\n",
                size.players, MedianWall(size.first) / MedianWall(size.plain),
                MedianCpu(size.first) / MedianCpu(size.plain));
  if (!sizes.empty()) PrintLargestPages(sizes.back().ChangedSite() / "html");
  if (std::getenv("REPORT_BENCH_KEEP") == nullptr) fs::remove_all(work);
  return 0;
}
