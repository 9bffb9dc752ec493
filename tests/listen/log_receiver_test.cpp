// SPDX-License-Identifier: GPL-3.0-or-later
#include "listen/log_receiver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

#include "base/file_io.h"
#include "listen/day_calendar.h"
#include "listen/day_files.h"
#include "tests/core/test_support.h"
#include "tests/listen/listen_support.h"

namespace varnokel {
namespace {

using namespace std::chrono_literals;

constexpr auto kPatience = 20s;  // for a loaded machine; the cases end far sooner
constexpr int kLines = 20;

std::string TodaysDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char date[16];
  std::strftime(date, sizeof date, "%m/%d/%Y", &local);
  return date;
}

// Waits until `done` holds, at most kPatience; returns whether it did.
bool WaitFor(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

TEST(LogReceiver, LinesWaitInMemoryWhileTheDiskIsFullAndAreWrittenWhenRoomReturns) {
  const testing::TempDir logs;
  const Endpoint listen = *ParseListenAddress("127.0.0.1:0");
  DayFileWriter day_files(logs.path(), LocalDayNumber(std::time(nullptr)));
  ListenCounts counts;
  LogReceiver receiver(listen, SenderFilter({}, listen), std::nullopt, day_files, counts);
  const testing::Sender server("127.0.0.1");
  std::string expected, notices;
  auto noticed = [&](std::string_view text) {
    for (const std::string& notice : receiver.TakeNotices()) notices += notice + "\n";
    return notices.find(text) != std::string::npos;
  };
  const std::filesystem::path day_file = logs.path() / SenderFolderName(server.self()) /
                                         DayFileName("L " + TodaysDate() + " - 20:00:00: x\n");

  std::optional<testing::FileSizeLimit> full(std::in_place, 0);
  receiver.Start();
  for (int i = 0; i < kLines; ++i) {
    const std::string line = "L " + TodaysDate() + " - 20:00:00: Zeile " + std::to_string(i);
    server.Send(receiver.bound(), testing::ServerDatagram(line));
    expected += line + "\n";
  }
  ASSERT_TRUE(WaitFor([&] { return noticed("warten im Speicher"); })) << notices;
  EXPECT_EQ(counts.unwritten, 0u);
  EXPECT_EQ(ReadFileBytes(day_file), "");

  full.reset();  // room again, and no datagram comes to trigger a write
  EXPECT_TRUE(WaitFor([&] { return noticed("wieder Platz:"); })) << notices;
  receiver.Stop();
  EXPECT_EQ(ReadFileBytes(day_file), expected);
  EXPECT_EQ(counts.written, static_cast<uint64_t>(kLines));
  EXPECT_EQ(counts.unwritten, 0u);
}

}  // namespace
}  // namespace varnokel
