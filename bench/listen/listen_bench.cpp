// SPDX-License-Identifier: GPL-3.0-or-later
// The listener under a busy stream: a hundred game servers on loopback
// sending 50 000 lines per second together for a minute to varnokel-cli
// --listen. Measures lines lost, the delay from sending a line to its count
// being on disk (the commit of the fold that takes it, seen in the ledger),
// and the listener's CPU share and memory over the run.
//
//   bench-listen [SECONDS [LINES_PER_SECOND [SERVERS [DATES]]]]   (default 60 50000 100 0)
//   bench-listen --hostile [OTHER_CLI [--other-keeps-claimed-dates]]
//   bench-listen --hostile-case TEXT [OTHER_CLI [--other-keeps-claimed-dates]]
//
// With DATES, the lines claim that many different dates between them (a
// sender that makes up its dates); without, they are dated today. --hostile
// runs three cases for 10 seconds at 50 000 lines per second each: 100 000
// dates from one sender; 1 000 senders of 20 players each, all new to the
// database (20 000 player files made in those 10 seconds, one new player
// every 25 lines: the hard case); and the same 1 000 senders with their
// players known from an earlier log (what a real server sends: the same
// few players for hours). With OTHER_CLI (another build of varnokel-cli)
// the same cases run on it first, with the ratios of the two. The
// listener's own summary of its folds (how many, the longest, the 99th
// percentile) is shown beside the figures measured here. --hostile-case
// runs only the cases whose name holds TEXT ("dates", "new", "known").
//
// The program folder is a fresh folder below the system's temporary folder
// (TMPDIR), on disk as a real installation would be; the folders of all runs
// are removed when the benchmark ends.
#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <sys/resource.h>

#include "db/ledger.h"
#include "listen/day_calendar.h"
#include "listen/day_files.h"
#include "tests/listen/listen_support.h"
#include "tools/loggen/log_generator.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace varnokel {
namespace {

constexpr int kPlayersPerServer = 20;
constexpr auto kSampleEvery = 1s;           // CPU and memory of the listener
constexpr auto kLedgerPollEvery = 10ms;     // delay resolution
constexpr auto kSettle = 5s;                // after the last line, before SIGTERM
constexpr size_t kDelayBucketsMs = 120000;  // delay histogram, 1 ms buckets
constexpr auto kMaxDrain = 60s;             // after the last line, waited for at most
constexpr auto kMaxClosing = 60s;           // for the closing fold after SIGTERM
constexpr int kDaysPerYear = 372;           // 12 months of 31 days, invalid ones included
constexpr int kFirstMadeUpYear = 1700;
constexpr size_t kKnownLines = 2000;      // per server, enough for each of its players to come
constexpr uint64_t kKnownSeed = 1000000;  // the earlier log's seeds, apart from the stream's
constexpr std::string_view kFoldsLabel = "Einlesen ";

struct Case {
  int seconds = 60;
  int rate = 50000;
  int servers = 100;
  int dates = 0;  // made-up dates the lines claim; 0: today
  std::string cli = VARNOKEL_CLI;
  bool calendar = true;        // the listener keeps lines of other days apart
  bool players_known = false;  // the players folded from an earlier log before the stream
};

// What one run measured.
struct Outcome {
  uint64_t sent = 0;
  size_t folded = 0;
  double p99_delay = 0, max_delay = 0;
  double max_cpu_share = 0;  // of the busiest second
  double drain_seconds = 0;  // from the last line sent to every line on disk
  long peak_mb = 0;
  int status = 0;
  std::string folds;  // the listener's summary of its folds
};

// The program folders of the runs, removed when the benchmark ends: ext4
// creates files slowly for a while after many were deleted, so a run right
// after the removal of the last one's tree would measure that.
std::vector<fs::path>& Leftovers() {
  static std::vector<fs::path> folders;
  return folders;
}

void RemoveLeftovers() {
  for (const fs::path& folder : Leftovers()) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
}

// One server: its lines, the day file and end offset of each in it, and
// when each was sent.
struct Server {
  std::unique_ptr<testing::Sender> socket;
  std::string folder;
  std::vector<std::string> datagrams;
  std::vector<uint64_t> end_in_day_file;            // bytes of the day file up to this line's end
  std::unique_ptr<std::atomic<int64_t>[]> sent_ns;  // by the sending thread
  std::map<std::string, size_t> folded;             // day file -> lines of it counted on disk
  std::map<std::string, std::vector<size_t>> lines_of;  // day file -> its lines, in order
};

struct Sample {
  double seconds;
  double cpu_share;  // of one core, since the last sample
  long rss_kb;
};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

// utime + stime in clock ticks, and VmRSS in kB, of process `pid`.
long CpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string skip;
  for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
  long user = 0, system = 0;
  fields >> user >> system;
  return user + system;
}

long StatusKb(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(key)) return std::atol(line.c_str() + key.size());
  }
  return 0;
}

// Counts lines whose day-file bytes the ledger now holds; records their delay.
void TakeFolded(const Ledger& ledger, std::map<std::string, Server*>& by_folder,
                std::vector<uint64_t>& histogram, size_t& folded_lines, int64_t now_ns) {
  for (const LedgerRun& entry : ledger.runs()) {
    const size_t slash = entry.name.find('/');
    const auto server = by_folder.find(entry.name.substr(0, slash));
    if (slash == std::string::npos || server == by_folder.end()) continue;
    Server& s = *server->second;
    const std::string day = entry.name;
    const auto lines = s.lines_of.find(day);
    if (lines == s.lines_of.end()) continue;
    size_t& done = s.folded[day];
    while (done < lines->second.size() && s.end_in_day_file[lines->second[done]] <= entry.size) {
      const size_t line = lines->second[done];
      const int64_t sent = s.sent_ns[line].load(std::memory_order_relaxed);
      const int64_t delay_ms = (now_ns - sent) / 1000000;
      ++histogram[static_cast<size_t>(std::clamp<int64_t>(delay_ms, 0, kDelayBucketsMs - 1))];
      ++done;
      ++folded_lines;
    }
  }
}

double Percentile(const std::vector<uint64_t>& histogram, double share) {
  uint64_t total = 0;
  for (uint64_t n : histogram) total += n;
  const uint64_t wanted = static_cast<uint64_t>(share * static_cast<double>(total));
  uint64_t seen = 0;
  for (size_t ms = 0; ms < histogram.size(); ++ms) {
    seen += histogram[ms];
    if (seen > wanted) return static_cast<double>(ms) / 1000.0;
  }
  return static_cast<double>(histogram.size()) / 1000.0;
}

// Today on the calendar of this machine, as loggen takes it.
void DateToday(loggen::LogGenOptions& options) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  options.year = local.tm_year + 1900;
  options.month = local.tm_mon + 1;
  options.day = local.tm_mday;
}

// Made-up date number `index` (MM/DD/YYYY, all distinct), in place of the line's.
void MakeUpDate(std::string& line, int index) {
  char date[32];
  std::snprintf(date, sizeof date, "%02d/%02d/%04d", index / 31 % 12 + 1, index % 31 + 1,
                kFirstMadeUpYear + index / kDaysPerYear);
  line.replace(2, 10, date);
}

// Where the listener keeps `line` of the server with folder `folder`.
std::string Destination(const std::string& folder, const std::string& line, bool calendar,
                        int64_t today) {
  if (calendar) {
    const std::optional<int64_t> day = DayNumberOfDate(line.substr(2, 10));
    if (!day || !IsCurrentDay(*day, today)) return folder + "/" + std::string(kWrongDateFileName);
  }
  return folder + "/" + DayFileName(line);
}

// An earlier log of each server, with the same players, folded by --update
// and the site written from it: what a listener that has run a while finds,
// so that its first site writes only what changed.
bool FoldKnownPlayers(const Case& c, const fs::path& program) {
  std::string log;
  for (int k = 0; k < c.servers; ++k) {
    loggen::LogGenOptions options;
    options.lines = kKnownLines;
    options.seed = kKnownSeed + static_cast<uint64_t>(k);
    options.players = kPlayersPerServer;
    options.first_player = k * kPlayersPerServer;
    DateToday(options);
    log += loggen::GenerateLog(options);
  }
  const fs::path file = program / "known.log";
  std::ofstream(file, std::ios::binary) << log;
  const std::string command = "'" + c.cli + "' --program-dir '" + program.string() + "' --load '" +
                              file.string() + "' --update --report >/dev/null 2>&1";
  const auto start = Clock::now();
  const bool folded = std::system(command.c_str()) == 0;
  std::printf("players known: %zu lines folded in %.1f s\n", kKnownLines * c.servers,
              std::chrono::duration<double>(Clock::now() - start).count());
  fs::remove(file);
  return folded;
}

// The listener's line on its folds, without its label.
std::string FoldsOf(const std::string& err) {
  const size_t at = err.find(kFoldsLabel);
  if (at == std::string::npos) return "-";
  const size_t end = err.find('\n', at);
  return err.substr(at + kFoldsLabel.size(), end - at - kFoldsLabel.size());
}

Outcome Run(const Case& c) {
  const int seconds = c.seconds, rate = c.rate, servers = c.servers;
  const int64_t today = LocalDayNumber(std::time(nullptr));
  const size_t per_server =
      static_cast<size_t>(rate) * static_cast<size_t>(seconds) / static_cast<size_t>(servers);
  static int runs = 0;
  const fs::path program =
      fs::temp_directory_path() /
      ("varnokel-bench-listen-" + std::to_string(::getpid()) + "-" + std::to_string(++runs));
  fs::create_directories(program / "Datenbanken/db1");
  Leftovers().push_back(program);
  fs::copy_file(fs::path(VARNOKEL_PROGRAM_DIR) / "color.no", program / "color.no");

  std::printf("generating %d logs of %zu lines ...\n", servers, per_server);
  std::vector<Server> fleet(static_cast<size_t>(servers));
  std::map<std::string, Server*> by_folder;
  for (int k = 0; k < servers; ++k) {
    Server& s = fleet[static_cast<size_t>(k)];
    loggen::LogGenOptions options;
    options.lines = per_server;
    options.seed = static_cast<uint64_t>(k) + 1;
    options.players = kPlayersPerServer;
    options.first_player = k * kPlayersPerServer;
    DateToday(options);
    s.socket = std::make_unique<testing::Sender>("127.0.0.1");
    s.folder = SenderFolderName(s.socket->self());
    by_folder[s.folder] = &s;
    std::map<std::string, uint64_t> sizes;
    for (std::string& line : testing::LinesOf(loggen::GenerateLog(options))) {
      const size_t fleet_line =
          s.datagrams.size() * static_cast<size_t>(servers) + static_cast<size_t>(k);
      if (c.dates > 0)
        MakeUpDate(line, static_cast<int>(fleet_line % static_cast<size_t>(c.dates)));
      const std::string day = Destination(s.folder, line, c.calendar, today);
      s.lines_of[day].push_back(s.datagrams.size());
      sizes[day] += line.size() + 1;
      s.datagrams.push_back(testing::ServerDatagram(line));
      s.end_in_day_file.push_back(sizes[day]);
    }
    s.sent_ns = std::make_unique<std::atomic<int64_t>[]>(s.datagrams.size());
  }

  if (c.players_known && !FoldKnownPlayers(c, program)) {
    std::fprintf(stderr, "the earlier log could not be folded\n");
    return Outcome{.status = -1, .folds = "-"};
  }
  testing::ListenerProcess listener(
      {c.cli, "--program-dir", program.string(), "--listen", "127.0.0.1:0"},
      program / "listener.err", program / "listener.out");
  const std::optional<Endpoint> at = listener.WaitReady(30s);
  if (!at) {
    std::fprintf(stderr, "listener did not start:\n%s", listener.Stderr().c_str());
    return Outcome{.status = -1, .folds = "-"};
  }
  std::printf("%s", listener.Stderr().c_str());

  // The senders: line j of the fleet (round robin over the servers) is due
  // at start + j / rate.
  std::atomic<bool> sending{true};
  std::atomic<uint64_t> sent{0};
  const Clock::time_point start = Clock::now();
  std::thread sender([&] {
    const uint64_t total = per_server * static_cast<uint64_t>(servers);
    uint64_t next = 0;
    while (next < total) {
      const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      const uint64_t due = std::min<uint64_t>(total, static_cast<uint64_t>(elapsed * rate) + 1);
      for (; next < due; ++next) {
        Server& s = fleet[next % static_cast<uint64_t>(servers)];
        const size_t line = next / static_cast<uint64_t>(servers);
        s.sent_ns[line].store(NowNs(), std::memory_order_relaxed);
        s.socket->Send(*at, s.datagrams[line]);
      }
      sent = next;
      std::this_thread::sleep_for(200us);
    }
    sending = false;
  });

  std::vector<uint64_t> histogram(kDelayBucketsMs);
  std::vector<Sample> samples;
  size_t folded_lines = 0;
  const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
  long last_ticks = CpuTicks(listener.pid());
  const long start_ticks = last_ticks;
  Clock::time_point last_sample = start, end_of_sending{}, drained{};
  const fs::path ledger_file = program / "Datenbanken/db1" / kLedgerFileName;
  fs::file_time_type ledger_written{};
  for (;;) {
    std::this_thread::sleep_for(kLedgerPollEvery);
    try {
      // Read only when a commit replaced it (a ledger of many entries takes long to read).
      std::error_code error;
      const auto written = fs::last_write_time(ledger_file, error);
      if (!error && written != ledger_written) {
        TakeFolded(Ledger::Read(program / "Datenbanken/db1"), by_folder, histogram, folded_lines,
                   NowNs());
        ledger_written = written;
      }
    } catch (const FileError&) {
      // replaced while read: the next poll sees it
    }
    const Clock::time_point now = Clock::now();
    if (now - last_sample >= kSampleEvery) {
      const long ticks = CpuTicks(listener.pid());
      const double span = std::chrono::duration<double>(now - last_sample).count();
      samples.push_back({std::chrono::duration<double>(now - start).count(),
                         static_cast<double>(ticks - last_ticks) / ticks_per_second / span,
                         StatusKb(listener.pid(), "VmRSS:")});
      last_ticks = ticks;
      last_sample = now;
    }
    if (!sending && end_of_sending == Clock::time_point{}) end_of_sending = now;
    if (end_of_sending == Clock::time_point{}) continue;
    const bool all_on_disk = folded_lines == sent;
    if (all_on_disk && drained == Clock::time_point{}) drained = now;
    if ((all_on_disk && now - end_of_sending >= kSettle) || now - end_of_sending >= kMaxDrain)
      break;
  }
  sender.join();
  const double run_seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const long run_ticks = CpuTicks(listener.pid()) - start_ticks;
  const long peak_kb = StatusKb(listener.pid(), "VmHWM:");
  listener.Signal(SIGTERM);
  const int status = listener.Wait(kMaxClosing);
  TakeFolded(Ledger::Read(program / "Datenbanken/db1"), by_folder, histogram, folded_lines,
             NowNs());

  const uint64_t total = sent;
  std::printf("\nsecond  CPU (of one core)  RSS\n");
  for (const Sample& s : samples) {
    std::printf("%6.0f  %16.0f%%  %6ld MB\n", s.seconds, 100 * s.cpu_share, s.rss_kb / 1024);
  }
  std::printf("\n%s", listener.Stderr().c_str());
  std::printf(
      "\nlines sent:             %" PRIu64 " in %.1f s (%.0f per second)\n", total,
      std::chrono::duration<double>(end_of_sending - start).count(),
      static_cast<double>(total) / std::chrono::duration<double>(end_of_sending - start).count());
  std::printf("lines counted on disk:  %zu (before SIGTERM and after)\n", folded_lines);
  std::printf("lines lost:             %" PRIu64 "\n", total - folded_lines);
  std::printf("delay send -> on disk:  median %.3f s, 99th percentile %.3f s, max %.3f s\n",
              Percentile(histogram, 0.5), Percentile(histogram, 0.99),
              Percentile(histogram, 1.0 - 1e-12));
  std::printf("listener CPU:           %.0f%% of one core over %.0f s\n",
              100.0 * static_cast<double>(run_ticks) / ticks_per_second / run_seconds, run_seconds);
  std::printf("listener memory:        peak %ld MB\n", peak_kb / 1024);
  std::printf("listener exit status:   %d\n", status);
  const std::string folds = FoldsOf(listener.Stderr());  // before the folder goes
  std::printf("listener folds:         %s\n", folds.c_str());
  Outcome outcome;
  outcome.sent = total;
  outcome.folded = folded_lines;
  outcome.p99_delay = Percentile(histogram, 0.99);
  outcome.max_delay = Percentile(histogram, 1.0 - 1e-12);
  for (const Sample& sample : samples)
    outcome.max_cpu_share = std::max(outcome.max_cpu_share, sample.cpu_share);
  outcome.drain_seconds = drained == Clock::time_point{}
                              ? -1
                              : std::chrono::duration<double>(drained - end_of_sending).count();
  outcome.peak_mb = peak_kb / 1024;
  outcome.status = status;
  outcome.folds = folds;
  return outcome;
}

bool Complete(const Outcome& o) {
  return o.sent == o.folded && o.status == 0;
}

void PrintComparison(const std::string& name, const Outcome& before, const Outcome& after) {
  auto ratio = [](double b, double a) { return a > 0 ? b / a : 0.0; };
  std::printf(
      "\n%s\n"
      "                         before        after   before/after\n"
      "lines on disk    %12zu %12zu\n"
      "lines lost       %12llu %12llu\n"
      "drain (s)        %12.2f %12.2f   (-1: not within %lld s)\n"
      "delay p99 (s)    %12.3f %12.3f %10.1f\n"
      "delay max (s)    %12.3f %12.3f %10.1f\n"
      "busiest second   %11.0f%% %11.0f%% %10.1f   (CPU of one core)\n"
      "peak memory (MB) %12ld %12ld\n"
      "exit status      %12d %12d\n"
      "folds before:    %s\n"
      "folds after:     %s\n",
      name.c_str(), before.folded, after.folded,
      static_cast<unsigned long long>(before.sent - before.folded),
      static_cast<unsigned long long>(after.sent - after.folded), before.drain_seconds,
      after.drain_seconds, static_cast<long long>(kMaxDrain.count()), before.p99_delay,
      after.p99_delay, ratio(before.p99_delay, after.p99_delay), before.max_delay, after.max_delay,
      ratio(before.max_delay, after.max_delay), 100 * before.max_cpu_share,
      100 * after.max_cpu_share, ratio(before.max_cpu_share, after.max_cpu_share), before.peak_mb,
      after.peak_mb, before.status, after.status, before.folds.c_str(), after.folds.c_str());
}

// The hostile cases, on `other_cli` first when given (`other_follows_calendar`
// false: it puts every line in the day file of the date the line claims, as
// the listener did before it followed its own calendar).
int RunHostile(const std::string& other_cli, bool other_follows_calendar, std::string_view only) {
  constexpr int kSeconds = 10, kManyDates = 100000, kManySenders = 1000;
  Case known{kSeconds, 50000, kManySenders, 0};
  known.players_known = true;
  const std::vector<std::pair<std::string, Case>> cases = {
      {"100 000 dates from one sender", {kSeconds, 50000, 1, kManyDates}},
      {"1 000 senders, dated today, every player new", {kSeconds, 50000, kManySenders, 0}},
      {"1 000 senders, dated today, players known", known}};
  bool complete = true;
  for (const auto& [name, after_case] : cases) {
    if (name.find(only) == std::string::npos) continue;
    std::printf("\n=== %s\n", name.c_str());
    Outcome before;
    if (!other_cli.empty()) {
      Case before_case = after_case;
      before_case.cli = other_cli;
      before_case.calendar = other_follows_calendar;
      std::printf("--- before (%s)\n", other_cli.c_str());
      before = Run(before_case);
    }
    std::printf("--- after\n");
    const Outcome after = Run(after_case);
    complete = complete && Complete(after);
    if (!other_cli.empty()) PrintComparison(name, before, after);
  }
  return complete ? 0 : 1;
}

// Room for a socket per sender.
void RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace
}  // namespace varnokel

int main(int argc, char** argv) {
  varnokel::RaiseOpenFileLimit();
  const bool one_case = argc > 2 && std::string_view(argv[1]) == "--hostile-case";
  if (one_case || (argc > 1 && std::string_view(argv[1]) == "--hostile")) {
    const int other = one_case ? 3 : 2;  // where OTHER_CLI would be
    const int status = varnokel::RunHostile(
        argc > other ? argv[other] : "",
        !(argc > other + 1 && std::string_view(argv[other + 1]) == "--other-keeps-claimed-dates"),
        one_case ? argv[2] : "");
    varnokel::RemoveLeftovers();
    return status;
  }
  varnokel::Case c;
  c.seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  c.rate = argc > 2 ? std::atoi(argv[2]) : 50000;
  c.servers = argc > 3 ? std::atoi(argv[3]) : 100;
  c.dates = argc > 4 ? std::atoi(argv[4]) : 0;
  if (c.seconds < 1 || c.rate < 1 || c.servers < 1 || c.dates < 0) {
    std::fprintf(stderr,
                 "usage: bench-listen [SECONDS [LINES_PER_SECOND [SERVERS [DATES]]]]\n"
                 "       bench-listen --hostile [OTHER_CLI [--other-keeps-claimed-dates]]\n"
                 "       bench-listen --hostile-case TEXT [OTHER_CLI "
                 "[--other-keeps-claimed-dates]]\n");
    return 2;
  }
  const bool complete = varnokel::Complete(varnokel::Run(c));
  varnokel::RemoveLeftovers();
  return complete ? 0 : 1;
}
