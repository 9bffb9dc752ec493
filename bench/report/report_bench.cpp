// Speed and memory of the report run over generated databases.
//
//   report_bench [PLAYERS...]      (default: 100 1000 10000 100000)
//
// Each size runs in a child process of its own so that its peak memory is
// its own: the child writes a database of that many players into a fresh
// temporary program folder, times ReportRun over it and removes the folder.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "report/report_run.h"

namespace {

// A player file as the update run leaves it after a leave: 44 fields with
// CR LF and the skill line. Names repeat now and then, as on a real server.
std::string PlayerBytes(int n, std::mt19937& random) {
  std::vector<std::string> fields = {"STEAM_0:" + std::to_string(n % 2) + ":" + std::to_string(n),
                                     "03/15/2003", "20:14:07",
                                     "Player " + std::to_string(random() % 50000)};
  for (int f = 4; f < 44; ++f) fields.push_back(std::to_string(random() % (f >= 20 ? 40 : 15)));
  fields[18] = "03/16/2003";
  fields[19] = std::to_string(random() % 400000);
  std::string bytes;
  for (const std::string& field : fields) bytes += field + "\r\n";
  return bytes + "100";
}

double CpuSeconds(bool system) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const timeval& t = system ? usage.ru_stime : usage.ru_utime;
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int RunOne(int players) {
  const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                     ("varnokel-report-bench-" + std::to_string(::getpid()));
  const std::filesystem::path database = root / "Datenbanken" / "db1";
  std::filesystem::create_directories(database);
  std::mt19937 random(4711);
  for (int n = 0; n < players; ++n) {
    const std::string bytes = PlayerBytes(n, random);
    varnokel::WriteFileAtomic(database / (bytes.substr(0, bytes.find('\r')) + ".db"), bytes);
  }
  varnokel::ColourSet colours;
  colours.fill("#123456");
  const long before = PeakKilobytes();
  const double user_before = CpuSeconds(false), system_before = CpuSeconds(true);
  const auto start = std::chrono::steady_clock::now();
  varnokel::ReportRun(root, database, colours);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // User time is this program's own work; system time is mostly the file
  // system creating and filling one new file per page.
  const double user = CpuSeconds(false) - user_before;
  const double system = CpuSeconds(true) - system_before;
  std::printf(
      "%7d players  %8.3f s  %7.1f us/player  (user %6.1f us/player, system %6.1f us/player)  "
      "peak %7.1f MB (%.1f MB before the run)\n",
      players, seconds, seconds * 1e6 / players, user * 1e6 / players, system * 1e6 / players,
      PeakKilobytes() / 1024.0, before / 1024.0);
  std::fflush(stdout);
  std::filesystem::remove_all(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes = {100, 1000, 10000, 100000};
  if (argc > 1) {
    sizes.clear();
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  }
  for (int players : sizes) {
    const pid_t child = fork();
    if (child == 0) std::_Exit(RunOne(players));
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  }
  return 0;
}
