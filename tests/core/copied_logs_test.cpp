// SPDX-License-Identifier: GPL-3.0-or-later
// Every line folded once whatever the operator copies: copies and parts of a
// log folded in any order, with either line end, edited, cut and joined, and
// a log folded while its server still writes it.
#include <gtest/gtest.h>

#include <chrono>

#include "base/content_hash.h"
#include "db/ledger.h"
#include "db/line_chunks.h"
#include "db/update_run.h"
#include "log/line_count.h"
#include "log/log_buffer.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testing::DatabaseContents;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr size_t kLines = 3000;

std::string Generated(uint64_t seed, int day = 15) {
  loggen::LogGenOptions options;
  options.seed = seed;
  options.lines = kLines;
  options.players = 12;
  options.day = day;
  return loggen::GenerateLog(options);
}

// Lines [from, to) of `log`, each with its line end.
std::string Lines(const std::string& log, size_t from, size_t to) {
  size_t begin = 0;
  for (size_t i = 0; i < from; ++i) begin = log.find('\n', begin) + 1;
  size_t end = begin;
  for (size_t i = from; i < to; ++i) end = log.find('\n', end) + 1;
  return log.substr(begin, end - begin);
}

std::string WithLf(std::string log) {
  std::erase(log, '\r');
  return log;
}

class CopiedLogs : public ::testing::Test {
 protected:
  // Writes `bytes` to a log file of its own and folds it; returns the lines folded.
  size_t Fold(const std::string& bytes, const fs::path& db, bool again = false) {
    const fs::path file = logs_ / ("copy-" + std::to_string(++files_) + ".log");
    WriteBytes(file, bytes);
    LogBuffer buffer;
    LoadLogFile(buffer, file);
    UpdateOptions options;
    options.again = again;
    std::string reference_line;
    return DatabaseUpdateRun(buffer, db, reference_line, options).lines_folded;
  }

  // The player files of `log` folded once, whole.
  std::map<std::string, std::string> FoldedOnce(const std::string& log) {
    TempDir db;
    Fold(log, db.path());
    return DatabaseContents(db.path());
  }

  TempDir logs_;
  size_t files_ = 0;
};

TEST_F(CopiedLogs, EachLineFoldsOnceWhateverIsCopied) {
  const std::string log = Generated(11);
  const size_t size = log.size();
  auto cut = [&](size_t bytes) { return log.substr(0, bytes); };  // mostly inside a line
  std::string edited = log;
  edited[1000] = edited[1000] == '7' ? '8' : '7';
  // An older state of the log, ending inside a chunk, and a copy of it edited
  // in the chunk before that one.
  const std::vector<LineChunk> chunks = ChunkLines(log, /*last_is_line=*/false);
  const LineChunk& open_end = chunks[chunks.size() / 2];
  const std::string older = cut(open_end.begin + (open_end.end - open_end.begin) / 2);
  std::string older_edited = older;
  const size_t in_chunk_before = chunks[chunks.size() / 2 - 1].begin + 100;
  older_edited[in_chunk_before] = older_edited[in_chunk_before] == '7' ? '8' : '7';
  const struct {
    const char* what;
    std::vector<std::string> folds;
    bool in_order = true;  // the lines reach the database in the log's order
  } cases[] = {
      {"a copy taken between two folds", {cut(size / 5), cut(size * 3 / 4), cut(size / 2), log}},
      {"a copy equal to an earlier fold", {cut(size / 2), cut(size / 2), log, cut(size / 2)}},
      {"LF instead of CR LF", {WithLf(cut(size / 2)), log, WithLf(log)}},
      {"two files sharing 1000 lines", {Lines(log, 0, 2000), Lines(log, 1000, kLines)}},
      {"a log whose beginning equals another's", {log, cut(size / 3), cut(size / 3 + 4096)}},
      {"one byte edited early", {log, edited}},
      {"cut in two and joined again",
       {Lines(log, 0, 1500), Lines(log, 1500, kLines),
        Lines(log, 0, 1500) + Lines(log, 1500, kLines)}},
      {"the later part first", {Lines(log, 1700, kLines), log}, false},
      {"an edited copy loaded again after the log grew", {older, older_edited, log, older_edited}},
  };
  const auto once = FoldedOnce(log);
  for (const auto& c : cases) {
    TempDir db;
    size_t folded = 0;
    for (const std::string& bytes : c.folds) folded += Fold(bytes, db.path());
    EXPECT_EQ(folded, kLines) << c.what;
    if (c.in_order) {
      EXPECT_TRUE(DatabaseContents(db.path()) == once) << c.what;
    }
  }
}

TEST_F(CopiedLogs, EqualLinesAtOtherTimesAreOtherLines) {
  TempDir db;
  EXPECT_EQ(Fold(Generated(12, 10), db.path()), kLines);
  EXPECT_EQ(Fold(Generated(12, 20), db.path()), kLines);
  EXPECT_EQ(Fold(Generated(12, 10) + Generated(12, 20), db.path()), 0u);
}

// A log folded in 4 KiB pieces as its server writes it: a half-written last
// line waits for its line end, or for its file to stay unchanged a while.
TEST_F(CopiedLogs, AHalfWrittenLastLineWaits) {
  const std::string log = Generated(13);
  TempDir db;
  constexpr size_t kPiece = 4096;
  size_t folded = 0;
  for (size_t bytes = kPiece; bytes < log.size(); bytes += kPiece)
    folded += Fold(log.substr(0, bytes), db.path());
  folded += Fold(log, db.path());
  EXPECT_EQ(folded, kLines);
  EXPECT_EQ(DatabaseContents(db.path()), FoldedOnce(log));

  // A server that died in the middle of a line: the line as it stands, once.
  const std::string died = log + log.substr(0, 40);
  const fs::path file = logs_ / "died.log";
  WriteBytes(file, died);
  auto fold_file = [&](bool again) {
    LogBuffer buffer;
    LoadLogFile(buffer, file);
    UpdateOptions options;
    options.again = again;
    std::string reference_line;
    return DatabaseUpdateRun(buffer, db.path(), reference_line, options).lines_folded;
  };
  EXPECT_EQ(fold_file(false), 0u);
  fs::last_write_time(file,
                      fs::file_time_type::clock::now() - kSettledAfter - std::chrono::seconds(1));
  EXPECT_EQ(fold_file(false), 1u);
  EXPECT_EQ(fold_file(false), 0u);
  TempDir fresh;
  WriteBytes(file, died);
  LogBuffer buffer;
  LoadLogFile(buffer, file);
  UpdateOptions again;
  again.again = true;
  std::string reference_line;
  EXPECT_EQ(DatabaseUpdateRun(buffer, fresh.path(), reference_line, again).lines_folded,
            kLines + 1);
}

// Servers started in the same second with the same settings write the same
// first lines. A short log of one of them, ending inside the chunk after
// those it shares, keeps its own lines: the ledger's marks tell it from an
// older copy of the other's log (whose lines it still does not count again).
TEST_F(CopiedLogs, AShortLogBeginningWithAnothersLinesKeepsItsOwn) {
  const std::string log = Generated(15);
  const std::vector<LineChunk> chunks = ChunkLines(log, /*last_is_line=*/false);
  ASSERT_GT(chunks.size(), 2u);
  const size_t shared = chunks[0].lines + chunks[1].lines / 2;
  const std::string other = Generated(16);
  TempDir db;
  EXPECT_EQ(Fold(log, db.path()), kLines);
  for (const size_t own : {2, 3, 5}) {
    const std::string mine = Lines(log, 0, shared) + Lines(other, 100, 100 + own);
    const std::vector<LineChunk> its = ChunkLines(mine, /*last_is_line=*/false);
    ASSERT_EQ(its.size(), 2u);
    ASSERT_FALSE(its[1].complete);
    EXPECT_EQ(Fold(mine, db.path()), shared - chunks[0].lines + own) << own;
    EXPECT_EQ(Fold(Lines(log, 0, shared + own), db.path()), 0u) << own;
  }
  // The same within the first chunk: an older copy adds nothing, a log with
  // lines of its own keeps them and the shared ones count again; once the
  // older copy is learnt, they do not.
  const size_t few = chunks[0].lines / 2;
  const std::string also_mine = Lines(log, 0, few) + Lines(other, 100, 103);
  TempDir second;
  EXPECT_EQ(Fold(log, second.path()), kLines);
  EXPECT_EQ(Fold(also_mine, second.path()), few + 3);
  EXPECT_EQ(Fold(Lines(log, 0, few), db.path()), 0u);
  EXPECT_EQ(Fold(also_mine, db.path()), 3u);
}

// A ledger written before chunks keeps its logs folded, and gives way to
// chunks once they turn up again.
TEST_F(CopiedLogs, APrefixLedgerIsReadAndReplaced) {
  const std::string log = Generated(14);
  const std::string half = log.substr(0, log.find('\n', log.size() / 2) + 1);
  TempDir db;
  Fold(half, db.path());
  WriteBytes(db / ".ledger", "# Logs folded into this database\n" + DigestHex(HashOf(half)) + " " +
                                 std::to_string(half.size()) + " old.log\n");
  const size_t rest = Fold(log, db.path());
  EXPECT_EQ(rest, kLines - CountLineEnds(half));
  EXPECT_EQ(DatabaseContents(db.path()), FoldedOnce(log));
  const Ledger ledger = Ledger::Read(db.path());
  EXPECT_TRUE(ledger.prefixes().empty());
  ASSERT_EQ(ledger.runs().size(), 1u);
  EXPECT_EQ(Fold(half, db.path()), 0u);
  // The ledger stays small against what it holds (a digest and three bits a
  // line for every 40 lines or so).
  EXPECT_LT(ReadBytes(db / ".ledger").size() * 80, log.size());
}

}  // namespace
}  // namespace varnokel
