// varnokel-cli killed with SIGKILL at many points of an update (the event
// store's writes among them), and two of it writing one database at once:
// the database ends up as one uninterrupted run (or one run after the other)
// leaves it.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "base/file_lock.h"
#include "db/update_run.h"
#include "log/log_buffer.h"
#include "tests/core/store_support.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::FolderContents;
using testing::TempDir;
using testing::WriteBytes;

struct Child {
  pid_t pid = -1;
};

// Starts varnokel-cli with `args`; `fault` goes into VARNOKEL_FILE_FAULT.
Child Start(const std::vector<std::string>& args, const std::string& fault = {}) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!fault.empty()) ::setenv("VARNOKEL_FILE_FAULT", fault.c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(VARNOKEL_CLI)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(VARNOKEL_CLI, argv.data());
    ::_exit(127);
  }
  return Child{pid};
}

// Waits for the child; true when SIGKILL ended it.
bool Killed(const Child& child) {
  int status = 0;
  ::waitpid(child.pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

int ExitCode(const Child& child) {
  int status = 0;
  ::waitpid(child.pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CrashSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(Db());
    for (uint64_t seed : {1, 2, 3}) {
      loggen::LogGenOptions options;
      options.seed = seed;
      options.lines = 6000;
      options.players = 40;
      options.max_online = 20;
      options.day = static_cast<int>(10 + seed);
      WriteBytes(program_ / std::string("l").append(std::to_string(seed)).append(".log"),
                 loggen::GenerateLog(options));
    }
  }
  fs::path Db() const { return program_.path() / "Datenbanken/db1"; }
  std::vector<std::string> Update(const std::vector<std::string>& logs) const {
    std::vector<std::string> args{"--program-dir", program_.path().string()};
    for (const std::string& log : logs)
      args.insert(args.end(), {"--load", (program_ / log).string()});
    args.push_back("--update");
    return args;
  }
  // The database's files with its ledger and its event store (as its
  // canonical dump), and no leftovers of a commit.
  std::map<std::string, std::string> State() const { return testing::DatabaseState(Db()); }
  // The files themselves, to put back.
  std::map<std::string, std::string> Files() const { return FolderContents(Db()); }
  void Restore(const std::map<std::string, std::string>& files) const {
    fs::remove_all(Db());
    fs::create_directories(Db());
    for (const auto& [name, bytes] : files) WriteBytes(Db() / name, bytes);
  }

  TempDir program_;
};

TEST_F(CrashSafety, KilledAnywhereTheSameCommandFinishesTheSameDatabase) {
  ASSERT_EQ(ExitCode(Start(Update({"l1.log"}))), 0);
  const auto before = Files();
  const std::vector<std::string> command = Update({"l2.log", "l3.log"});

  // The uninterrupted run: its result, its length and its number of writes.
  const auto started = Clock::now();
  ASSERT_EQ(ExitCode(Start(command)), 0);
  const auto duration = Clock::now() - started;
  const auto want = State();
  Restore(before);
  LogBuffer buffer;
  LoadLogFile(buffer, program_ / "l2.log");
  LoadLogFile(buffer, program_ / "l3.log");
  SetFileFault({});
  std::string reference_line;
  DatabaseUpdateRun(buffer, Db(), reference_line);
  const long writes = FileWriteOperationsSoFar();
  ASSERT_EQ(State(), want);

  int kills = 0;
  auto check = [&](const Child& child, const std::string& what) {
    if (Killed(child)) ++kills;
    ASSERT_EQ(ExitCode(Start(command)), 0) << what;
    EXPECT_EQ(State(), want) << what;
    Restore(before);
  };
  // Every write and rename of the commit, then moments spread over the whole
  // run: loading, folding, committing.
  for (long n = 1; n <= writes; ++n) {
    Restore(before);
    check(Start(command, "kill:" + std::to_string(n)), "kill before write " + std::to_string(n));
  }
  // Moments from the start to the end of the run, again and again, until at
  // least 200 kills in all (a kill after the end does not count).
  constexpr int kKillsWanted = 200, kSteps = 64, kMostAttempts = 1000;
  for (int i = 0; kills < kKillsWanted && i < kMostAttempts; ++i) {
    Restore(before);
    const Child child = Start(command);
    std::this_thread::sleep_for(duration * (i % kSteps) / kSteps);
    ::kill(child.pid, SIGKILL);
    check(child, "kill at " + std::to_string(i % kSteps) + "/" + std::to_string(kSteps));
  }
  EXPECT_GE(kills, kKillsWanted);
  std::printf("%d kills (%ld at each write of the commit, the rest timed over %lld ms)\n", kills,
              writes,
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()));
}

TEST_F(CrashSafety, TwoWritersAtOnceEqualOneAfterTheOther) {
  ASSERT_EQ(ExitCode(Start(Update({"l2.log"}))), 0);
  ASSERT_EQ(ExitCode(Start(Update({"l3.log"}))), 0);
  const auto two_then_three = State();
  Restore({});
  ASSERT_EQ(ExitCode(Start(Update({"l3.log"}))), 0);
  ASSERT_EQ(ExitCode(Start(Update({"l2.log"}))), 0);
  const auto three_then_two = State();
  for (int round = 0; round < 3; ++round) {
    Restore({});
    const Child a = Start(Update({"l2.log"})), b = Start(Update({"l3.log"}));
    EXPECT_EQ(ExitCode(a), 0);
    EXPECT_EQ(ExitCode(b), 0);
    const auto both = State();
    EXPECT_TRUE(both == two_then_three || both == three_then_two) << "round " << round;
  }

  // A writer holding the lock: --no-wait gives up at once with status 3,
  // for writing and for reading alike; without it the tool waits.
  FileLock held(Db() / ".lock");
  held.Lock(FileLock::Mode::kExclusive);
  std::vector<std::string> no_wait = Update({"l1.log"});
  no_wait.insert(no_wait.begin(), "--no-wait");
  EXPECT_EQ(ExitCode(Start(no_wait)), 3);
  EXPECT_EQ(ExitCode(Start({"--no-wait", "--program-dir", program_.path().string(), "--list"})), 3);
  const Child waiting = Start(Update({"l1.log"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(::waitpid(waiting.pid, nullptr, WNOHANG), 0);  // still waiting
  held.Unlock();
  EXPECT_EQ(ExitCode(waiting), 0);
}

}  // namespace
}  // namespace varnokel
