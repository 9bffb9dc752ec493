// Speed and memory of the database update run on a generated log: lines per
// second, the ratio to only reading and splitting the same file, peak memory.
//
//   bench-update [LINES [PLAYERS]]     (default 1000000 lines, 500 players)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "base/file_io.h"
#include "db/update_run.h"
#include "log/line_events.h"
#include "log/log_buffer.h"
#include "log/log_lines.h"
#include "tests/core/update_reference.h"
#include "tools/loggen/log_generator.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

size_t ReadAndSplit(const fs::path& log) {
  std::string bytes = varnokel::ReadFileBytes(log);
  size_t nonempty = 0;
  size_t lines = varnokel::ForEachLine(
      bytes, [&](std::string_view line) { nonempty += line.empty() ? 0 : 1; });
  return lines + nonempty % 2;  // keeps the loop from being optimised away
}

}  // namespace

int main(int argc, char** argv) {
  varnokel::loggen::LogGenOptions options;
  options.lines = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  options.players = argc > 2 ? std::atoi(argv[2]) : 500;
  options.max_online = 32;
  options.bots = 4;

  fs::path work = fs::temp_directory_path() / ("varnokel-bench-" + std::to_string(::getpid()));
  fs::create_directories(work / "db");
  fs::path log = work / "big.log";
  {
    std::ofstream out(log, std::ios::binary);
    varnokel::loggen::GenerateLog(options, out);
  }
  const double mb = static_cast<double>(fs::file_size(log)) / (1024.0 * 1024.0);
  std::printf("log: %zu lines, %d players, %.1f MB\n", options.lines, options.players, mb);

  // Best of three for the baseline, which is short and noisy.
  double split_seconds = 1e9;
  for (int i = 0; i < 3; ++i) {
    auto start = Clock::now();
    ReadAndSplit(log);
    split_seconds = std::min(split_seconds, Seconds(start));
  }

  auto start = Clock::now();
  varnokel::LogBuffer buffer;
  varnokel::LoadLogFile(buffer, log);
  std::string reference_line;
  varnokel::DatabaseUpdateRun(buffer, work / "db", reference_line);
  double run_seconds = Seconds(start);
  size_t players = 0;
  for (const auto& entry : fs::directory_iterator(work / "db")) players += entry.is_regular_file();
  long peak_kb = PeakRssKb();

  const double lines = static_cast<double>(options.lines);
  std::printf("read and split:        %8.3f s  %12.0f lines/s\n", split_seconds,
              lines / split_seconds);
  std::printf("load + update run:     %8.3f s  %12.0f lines/s  (%zu player files)\n", run_seconds,
              lines / run_seconds, players);
  std::printf("ratio to read+split:   %8.2f\n", run_seconds / split_seconds);
  std::printf("peak memory:           %8.1f MB  (limit 3 x log + 50 MB = %.1f MB)\n",
              static_cast<double>(peak_kb) / 1024.0, 3 * mb + 50);

  // The straightforward run (a file read and rewrite per event) on a slice.
  const size_t slice = std::min<size_t>(options.lines, 2000);
  options.lines = slice;
  varnokel::LogBuffer small;
  small.Append(varnokel::LogContribution(varnokel::loggen::GenerateLog(options)));
  fs::create_directories(work / "ref");
  start = Clock::now();
  varnokel::DatabaseUpdateRunReference(small, work / "ref", reference_line);
  double ref_seconds = Seconds(start);
  std::printf("reference run (%zu lines): %8.3f s  %12.0f lines/s\n", slice, ref_seconds,
              static_cast<double>(slice) / ref_seconds);

  fs::remove_all(work);
  return 0;
}
