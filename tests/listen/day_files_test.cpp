// SPDX-License-Identifier: GPL-3.0-or-later
#include "listen/day_files.h"

#include <gtest/gtest.h>

#include "base/file_io.h"
#include "listen/day_calendar.h"
#include "listen/endpoint.h"
#include "tests/core/test_support.h"
#include "tests/listen/listen_support.h"

namespace varnokel {
namespace {

const std::string kLine = "L 03/15/2003 - 20:14:07: x\n";
constexpr std::string_view kSenderFolder = "192.0.2.7_27015";
constexpr std::string_view kDayFile = "L20030315.log";

Endpoint Sender() {
  return *ParseListenAddress("192.0.2.7:27015");
}

int64_t Today() {
  return *DayNumberOfDate("03/15/2003");
}

std::string Lines(size_t count) {
  std::string lines;
  for (size_t i = 0; i < count; ++i) lines += kLine;
  return lines;
}

TEST(DayFileWriter, LinesWaitInMemoryForRoomAndNoPieceOfALineStays) {
  const testing::TempDir logs;
  const std::filesystem::path day_file = logs.path() / kSenderFolder / kDayFile;
  constexpr size_t kHeldLines = 4;
  DayFileWriter writer(logs.path(), Today(), kMaxWrongDateFileBytes, kHeldLines * kLine.size());
  writer.Add(Sender(), kLine);
  EXPECT_EQ(writer.Flush().written, 1u);
  {
    // Room for one line more and half of the next.
    const testing::FileSizeLimit full(2 * kLine.size() + kLine.size() / 2);
    for (int i = 0; i < 3; ++i) writer.Add(Sender(), kLine);
    DayFileWriter::Outcome outcome = writer.Flush();
    EXPECT_EQ(outcome.written, 0u);
    EXPECT_EQ(outcome.failed, 0u);
    EXPECT_EQ(outcome.held, 3u);
    EXPECT_NE(outcome.no_room.find(std::string(kDayFile)), std::string::npos);
    EXPECT_EQ(ReadFileBytes(day_file), kLine);  // none of them, not half of one

    for (int i = 0; i < 2; ++i) writer.Add(Sender(), kLine);
    outcome = writer.Flush();
    EXPECT_EQ(outcome.held, kHeldLines);
    EXPECT_EQ(outcome.failed, 1u);  // the newest, beyond the memory kept for them
    EXPECT_FALSE(outcome.error.empty());
    EXPECT_EQ(ReadFileBytes(day_file), kLine);
  }
  const DayFileWriter::Outcome outcome = writer.Flush();  // room again
  EXPECT_EQ(outcome.written, kHeldLines);
  EXPECT_EQ(outcome.held, 0u);
  EXPECT_FALSE(writer.Holding());
  EXPECT_EQ(ReadFileBytes(day_file), Lines(1 + kHeldLines));
  EXPECT_EQ(writer.Flush().written, 0u);  // each line once
  EXPECT_EQ(ReadFileBytes(day_file), Lines(1 + kHeldLines));
}

TEST(DayFileWriter, SecondWriterOfTheSameDayFilesWritesNothing) {
  const testing::TempDir logs;
  DayFileWriter first(logs.path(), Today()), second(logs.path(), Today());
  first.Add(Sender(), kLine);
  EXPECT_EQ(first.Flush().written, 1u);
  second.Add(Sender(), "L 03/15/2003 - 20:14:08: y\n");
  const DayFileWriter::Outcome refused = second.Flush();
  EXPECT_EQ(refused.written, 0u);
  EXPECT_EQ(refused.failed, 1u);
  EXPECT_EQ(refused.held, 0u);  // not kept to be written later either
  EXPECT_NE(refused.error.find("anderen Empf\xC3\xA4nger"), std::string::npos);
  // Left to its writer, the file's torn line too.
  EXPECT_NO_THROW(SetTornLineAside(logs.path() / kSenderFolder / kDayFile));
  EXPECT_FALSE(second.Holding());
  EXPECT_EQ(ReadFileBytes(logs.path() / kSenderFolder / kDayFile), kLine);
  EXPECT_TRUE(second.TakeGrown().empty());
}

}  // namespace
}  // namespace varnokel
