#include "log/log_buffer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <random>

#include "base/file_io.h"
#include "log/line_count.h"
#include "log/line_events.h"
#include "log/log_lines.h"
#include "tests/core/test_support.h"
#include "tests/core/update_reference.h"

namespace varnokel {
namespace {

using testing::TempDir;
using testing::WriteBytes;

std::string Loaded(std::initializer_list<std::string_view> files) {
  TempDir dir;
  LogBuffer buffer;
  int i = 0;
  for (std::string_view bytes : files) {
    std::filesystem::path file = dir / std::string("f").append(std::to_string(i++)).append(".log");
    WriteBytes(file, bytes);
    LoadLogFile(buffer, file);
  }
  return std::string(buffer.text());
}

TEST(LogBuffer, EachFileLosesOnlyItsFinalLineEnd) {
  EXPECT_EQ(Loaded({"x\r\ny\r\n"}), "x\r\ny");
  EXPECT_EQ(Loaded({"x\ny\n"}), "x\ny");
  EXPECT_EQ(Loaded({"x\r\ny"}), "x\r\ny");      // no line end: nothing is cut
  EXPECT_EQ(Loaded({"x\r\ny\r"}), "x\r\ny\r");  // a lone CR is no line end
  EXPECT_EQ(Loaded({"x\r\n\r\n"}), "x\r\n");
  EXPECT_EQ(Loaded({"\r\n"}), "");
  EXPECT_EQ(Loaded({""}), "");
}

TEST(LogBuffer, FilesAreJoinedByALineEnd) {
  EXPECT_EQ(Loaded({"x\r\ny\r\n", "z\r\n"}), "x\r\ny\r\nz");
  EXPECT_EQ(Loaded({"x\r\ny\r\n", "x\r\ny\r\n"}), "x\r\ny\r\nx\r\ny");
  EXPECT_EQ(Loaded({"", "z"}), "\r\nz");  // an empty file is one empty line
  EXPECT_EQ(Loaded({"a", "", "b"}), "a\r\n\r\nb");
}

// NUL bytes stay in the text: the ledger knows a log by all its bytes (the
// update run cuts lines at their runs).
TEST(LogBuffer, NulBytesStayInTheText) {
  EXPECT_EQ(Loaded({std::string("x\r\ny\0z\r\n", 8), "w"}), std::string("x\r\ny\0z\r\nw", 9));
  EXPECT_EQ(LogContribution(std::string_view("a\r\n\0", 4)), std::string_view("a\r\n\0", 4));
}

TEST(LogBuffer, LoadingReturnsTheListLineAndReadsWholeFiles) {
  TempDir dir;
  LogBuffer buffer;
  std::string big(300000, 'a');
  big += "\r\n";
  WriteBytes(dir / "a.log", big);
  EXPECT_EQ(LoadLogFile(buffer, dir / "a.log"), "a.log\r\n");
  EXPECT_EQ(buffer.text().size(), 300000u);
  EXPECT_EQ(buffer.file_count(), 1u);
  EXPECT_EQ(LoadLogFile(buffer, dir / "a.log"), "a.log\r\n");
  EXPECT_EQ(buffer.text().size(), 600002u);
}

// A file of many megabytes is read by several threads, a stretch each: the
// bytes must arrive in their places, from the start or from an offset.
TEST(LogBuffer, LargeFilesArriveWholeAndInOrder) {
  TempDir dir;
  std::string bytes(17 * 1024 * 1024 + 12345, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + i / 4099);
  WriteBytes(dir / "large.log", bytes);
  std::string whole = "x", tail;
  AppendFileBytes(whole, dir / "large.log");
  EXPECT_TRUE(whole == "x" + bytes);
  AppendFileBytesFrom(tail, dir / "large.log", 777);
  EXPECT_TRUE(tail == bytes.substr(777));
}

TEST(LogBuffer, MissingFileLeavesTheBufferAlone) {
  TempDir dir;
  LogBuffer buffer;
  buffer.Append("kept");
  try {
    LoadLogFile(buffer, dir / "nope.log");
    ADD_FAILURE();
  } catch (const FileError& error) {
    EXPECT_EQ(error.file(), dir / "nope.log");
  }
  EXPECT_THROW(LoadLogFile(buffer, dir.path()), FileError);  // a folder
  ASSERT_EQ(::mkfifo((dir / "pipe.log").c_str(), 0644), 0);
  EXPECT_THROW(LoadLogFile(buffer, dir / "pipe.log"), FileError);  // no wait for a writer
  EXPECT_EQ(buffer.text(), "kept");
  EXPECT_EQ(buffer.file_count(), 1u);
}

TEST(LogBuffer, CountingAndFindingLineEnds) {
  std::mt19937 random(7);
  for (size_t size : {0, 1, 15, 16, 17, 4079, 4080, 4081, 70000}) {
    std::string text(size, 'x');
    for (char& c : text) c = random() % 5 == 0 ? '\n' : 'x';
    std::vector<size_t> ends;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') ends.push_back(i);
    }
    EXPECT_EQ(CountLineEnds(text), ends.size()) << size;
    for (size_t n = 0; n < ends.size(); n += 1 + n / 3) EXPECT_EQ(FindLineEnd(text, n), ends[n]);
    EXPECT_EQ(FindLineEnd(text, ends.size()), std::string_view::npos);
  }
  // The index over a text of several steps, with a step of no line ends.
  std::string text(3 * LineIndex::kStep + 12345, 'x');
  for (char& c : text) c = random() % 97 == 0 ? '\n' : 'x';
  std::fill_n(text.begin() + LineIndex::kStep, LineIndex::kStep + 1, 'x');
  std::vector<size_t> ends;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') ends.push_back(i);
  }
  const LineIndex index(text);
  EXPECT_EQ(index.line_ends(), ends.size());
  for (size_t n = 0; n < ends.size(); n += 1 + n / 50) EXPECT_EQ(index.Find(text, n), ends[n]);
  EXPECT_EQ(index.Find(text, ends.size()), std::string_view::npos);
  for (size_t pos : {size_t{0}, LineIndex::kStep - 1, LineIndex::kStep, 2 * LineIndex::kStep + 1,
                     ends.back(), ends.back() + 1, text.size()}) {
    EXPECT_EQ(index.CountBefore(text, pos),
              static_cast<size_t>(std::lower_bound(ends.begin(), ends.end(), pos) - ends.begin()))
        << pos;
  }
  EXPECT_EQ(LineIndex("").line_ends(), 0u);
  // Runs of empty lines long enough to overflow a byte-wide count per lane.
  const std::string empty_lines = "x" + std::string(4096, '\n') + "y" + std::string(300, '\n');
  EXPECT_EQ(CountLineEnds(empty_lines), 4396u);
  EXPECT_EQ(LineIndex(empty_lines).line_ends(), 4396u);
  EXPECT_EQ(FindLineEnd(empty_lines, 4095), 4096u);
  EXPECT_EQ(FindLineEnd(empty_lines, 4096), 4098u);
}

TEST(LogBuffer, PartsOfAGrowingFileAreItsCompleteLinesFromAnOffset) {
  TempDir dir;
  WriteBytes(dir / "g.log", "a\r\nb\r\nc\r\nd");
  LogBuffer buffer;
  EXPECT_TRUE(buffer.AppendFilePart(dir / "g.log", 3, "x/g.log"));
  ASSERT_EQ(buffer.file_count(), 1u);
  EXPECT_EQ(buffer.LogText(buffer.logs()[0]), "b\r\nc");
  EXPECT_EQ(buffer.logs()[0].line_end, "\r\n");
  EXPECT_EQ(buffer.logs()[0].name, "x/g.log");
  EXPECT_FALSE(buffer.AppendFilePart(dir / "g.log", 9, "g"));   // "d" is no complete line
  EXPECT_FALSE(buffer.AppendFilePart(dir / "g.log", 50, "g"));  // past the end
  EXPECT_EQ(buffer.text(), "b\r\nc");
  WriteBytes(dir / "n.log", std::string("a\nb\0c\nd", 8));  // NULs stay, "d" waits
  EXPECT_TRUE(buffer.AppendFilePart(dir / "n.log", 0, "n"));
  EXPECT_EQ(buffer.text(), std::string("b\r\nc\r\na\nb\0c", 11));
  EXPECT_THROW(buffer.AppendFilePart(dir / "missing.log", 0, "m"), FileError);
  EXPECT_EQ(buffer.file_count(), 2u);
  // Bounded: the lines within the first bytes, at least the first line.
  WriteBytes(dir / "b.log", "aa\nbb\ncc\n");
  LogBuffer bounded;
  EXPECT_TRUE(bounded.AppendFilePart(dir / "b.log", 0, "b", 7));
  EXPECT_TRUE(bounded.AppendFilePart(dir / "b.log", 3, "b", 1));
  EXPECT_EQ(bounded.text(), "aa\nbb\r\nbb");
  EXPECT_EQ(bounded.logs()[1].line_end, "\n");
}

TEST(LogBuffer, LinesAndMiddleLine) {
  std::vector<std::string> lines;
  auto collect = [&](std::string_view text) {
    lines.clear();
    return ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
  };
  EXPECT_EQ(collect("a\r\nb\nc\r\r\nd"), 4u);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c\r", "d"}));
  EXPECT_EQ(collect(""), 1u);
  EXPECT_EQ(collect("a\r\n"), 2u);
  EXPECT_EQ(lines, (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(MiddleLine("l0\r\nl1\r\nl2\r\nl3"), "l1");  // three LF: line 1
  EXPECT_EQ(MiddleLine("l0\r\nl1\r\nl2\r\nl3\r\nl4"), "l2");
  EXPECT_EQ(MiddleLine("only"), "only");
  EXPECT_EQ(MiddleLine("a\n"), "a");
  EXPECT_EQ(MiddleLine(""), "");
}

}  // namespace
}  // namespace varnokel
