// The listener under a busy stream: a hundred game servers on loopback
// sending 50 000 lines per second together for a minute to varnokel-cli
// --listen. Measures lines lost, the delay from sending a line to its count
// being on disk (the commit of the fold that takes it, seen in the ledger),
// and the listener's CPU share and memory over the run.
//
//   bench-listen [SECONDS [LINES_PER_SECOND [SERVERS]]]   (default 60 50000 100)
//
// The program folder is a fresh folder below the system's temporary folder
// (TMPDIR), on disk as a real installation would be.
#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "db/ledger.h"
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

// One server: its lines, the day file and end offset of each in it, and
// when each was sent.
struct Server {
  std::unique_ptr<testing::Sender> socket;
  std::string folder;
  std::vector<std::string> datagrams;
  std::vector<std::string> day_file;                // relative to Logs, per line
  std::vector<uint64_t> end_in_day_file;            // bytes of the day file up to this line's end
  std::unique_ptr<std::atomic<int64_t>[]> sent_ns;  // by the sending thread
  std::map<std::string, size_t> folded;             // day file -> lines of it counted on disk
  std::map<std::string, size_t> first_line;         // day file -> index of its first line
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
    if (!s.first_line.contains(day)) continue;
    size_t& done = s.folded[day];
    size_t line = s.first_line[day] + done;
    while (line < s.datagrams.size() && s.day_file[line] == day &&
           s.end_in_day_file[line] <= entry.size) {
      const int64_t sent = s.sent_ns[line].load(std::memory_order_relaxed);
      const int64_t delay_ms = (now_ns - sent) / 1000000;
      ++histogram[static_cast<size_t>(std::clamp<int64_t>(delay_ms, 0, kDelayBucketsMs - 1))];
      ++done;
      ++line;
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

int Run(int seconds, int rate, int servers) {
  const size_t per_server =
      static_cast<size_t>(rate) * static_cast<size_t>(seconds) / static_cast<size_t>(servers);
  const fs::path program =
      fs::temp_directory_path() / ("varnokel-bench-listen-" + std::to_string(::getpid()));
  fs::create_directories(program / "Datenbanken/db1");
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
    s.socket = std::make_unique<testing::Sender>("127.0.0.1");
    s.folder = SenderFolderName(s.socket->self());
    by_folder[s.folder] = &s;
    std::map<std::string, uint64_t> sizes;
    for (const std::string& line : testing::LinesOf(loggen::GenerateLog(options))) {
      const std::string day = s.folder + "/" + DayFileName(line);
      if (!s.first_line.contains(day)) s.first_line[day] = s.datagrams.size();
      sizes[day] += line.size() + 1;
      s.datagrams.push_back(testing::ServerDatagram(line));
      s.day_file.push_back(day);
      s.end_in_day_file.push_back(sizes[day]);
    }
    s.sent_ns = std::make_unique<std::atomic<int64_t>[]>(s.datagrams.size());
  }

  testing::ListenerProcess listener(
      {VARNOKEL_CLI, "--program-dir", program.string(), "--listen", "127.0.0.1:0"},
      program / "listener.err", program / "listener.out");
  const std::optional<Endpoint> at = listener.WaitReady(30s);
  if (!at) {
    std::fprintf(stderr, "listener did not start:\n%s", listener.Stderr().c_str());
    return 1;
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
  Clock::time_point last_sample = start, end_of_sending{};
  for (;;) {
    std::this_thread::sleep_for(kLedgerPollEvery);
    try {
      TakeFolded(Ledger::Read(program / "Datenbanken/db1"), by_folder, histogram, folded_lines,
                 NowNs());
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
    if (end_of_sending != Clock::time_point{} && now - end_of_sending >= kSettle) break;
  }
  sender.join();
  const double run_seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const long run_ticks = CpuTicks(listener.pid()) - start_ticks;
  const long peak_kb = StatusKb(listener.pid(), "VmHWM:");
  listener.Signal(SIGTERM);
  const int status = listener.Wait(120s);
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
  std::error_code ignored;
  fs::remove_all(program, ignored);
  return total == folded_lines && status == 0 ? 0 : 1;
}

}  // namespace
}  // namespace varnokel

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  const int rate = argc > 2 ? std::atoi(argv[2]) : 50000;
  const int servers = argc > 3 ? std::atoi(argv[3]) : 100;
  if (seconds < 1 || rate < 1 || servers < 1) {
    std::fprintf(stderr, "usage: bench-listen [SECONDS [LINES_PER_SECOND [SERVERS]]]\n");
    return 2;
  }
  return varnokel::Run(seconds, rate, servers);
}
