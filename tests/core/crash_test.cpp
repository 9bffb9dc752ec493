// SPDX-License-Identifier: GPL-3.0-or-later
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

#include "base/file_calls_testing.h"
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

// Starts the tests' varnokel-cli with `args`; `fault` goes into VARNOKEL_FILE_FAULT.
Child Start(const std::vector<std::string>& args, const std::string& fault = {}) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!fault.empty()) ::setenv("VARNOKEL_FILE_FAULT", fault.c_str(), 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(VARNOKEL_CLI_WITH_FAULTS)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(VARNOKEL_CLI_WITH_FAULTS, argv.data());
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

  // Whether a kill lands before the end of the run is up to timing; what
  // the database holds after the same command again never is.
  auto killed_then_repaired = [&](const Child& child, const std::string& what) {
    const bool killed = Killed(child);
    EXPECT_EQ(ExitCode(Start(command)), 0) << what;
    EXPECT_EQ(State(), want) << what;
    Restore(before);
    return killed;
  };
  // Every write, rename and sync of the commit: each kill is certain.
  for (long n = 1; n <= writes; ++n) {
    Restore(before);
    const std::string what = "kill before write " + std::to_string(n);
    EXPECT_TRUE(killed_then_repaired(Start(command, "kill:" + std::to_string(n)), what)) << what;
  }
  // Moments spread over the whole run: loading, folding, committing.
  constexpr int kSteps = 64, kRounds = 3;
  int timed_kills = 0;
  for (int i = 0; i < kSteps * kRounds; ++i) {
    Restore(before);
    const Child child = Start(command);
    std::this_thread::sleep_for(duration * (i % kSteps) / kSteps);
    ::kill(child.pid, SIGKILL);
    timed_kills += killed_then_repaired(
        child, "kill at " + std::to_string(i % kSteps) + "/" + std::to_string(kSteps));
  }
  std::printf("%ld kills at each write of the commit, %d more timed over %lld ms\n", writes,
              timed_kills,
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
