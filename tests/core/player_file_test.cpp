#include "db/player_file.h"
#include "db/player_record.h"
#include "tests/core/update_reference.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>

#include "tests/core/test_support.h"

namespace varnokel {
namespace {

using testing::Crlf;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

const std::string kReference = "L 03/15/2003 - 20:14:07: \"Bob<12><4711><CT>\" entered the game";

std::string Zeros(int count, bool terminate_last) {
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    bytes += "0";
    if (i + 1 < count || terminate_last) bytes += "\r\n";
  }
  return bytes;
}

std::string EmptyLines(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += "\r\n";
  return bytes;
}

TEST(PlayerFile, AtoiFollowsTheCLibraryAndSaturates) {
  EXPECT_EQ(Atoi("42"), 42);
  EXPECT_EQ(Atoi("  \t-17xyz"), -17);
  EXPECT_EQ(Atoi("+5"), 5);
  EXPECT_EQ(Atoi("abc"), 0);
  EXPECT_EQ(Atoi(""), 0);
  EXPECT_EQ(Atoi("- 5"), 0);
  EXPECT_EQ(Atoi("2147483647"), INT_MAX);
  EXPECT_EQ(Atoi("2147483648"), INT_MAX);
  EXPECT_EQ(Atoi("99999999999999999999999"), INT_MAX);
  EXPECT_EQ(Atoi("-2147483648"), INT_MIN);
  EXPECT_EQ(Atoi("-99999999999999999999"), INT_MIN);
}

TEST(PlayerFile, SplitAndJoinFields) {
  EXPECT_EQ(SplitFields("Bob\r\n"), (Fields{"Bob", ""}));
  EXPECT_EQ(SplitFields("Bob\n"), (Fields{"Bob", ""}));  // bare LF reads the same
  EXPECT_EQ(SplitFields("a\r\r\nb"), (Fields{"a\r", "b"}));
  EXPECT_EQ(SplitFields(""), (Fields{""}));
  EXPECT_EQ(SplitFields("x\ry"), (Fields{"x\ry"}));
  Fields some{"id", "d", "t"};
  std::string joined = JoinFields(some);
  EXPECT_EQ(joined, "id\r\nd\r\nt\r\n" + EmptyLines(41));
  Fields many(50, "7");
  EXPECT_EQ(SplitFields(JoinFields(many)).size(), 45u);  // only 44 are written
}

TEST(PlayerFile, DefaultRecordsHaveNoFinalLineEnd) {
  EXPECT_EQ(SerializeRecord(NewRecord("4711", "03/15/2003", "20:00:00", "Bob")),
            "4711\r\n03/15/2003\r\n20:00:00\r\nBob\r\n" + Zeros(40, false));
  EXPECT_EQ(SerializeRecord(UnknownRecord("4711", kReference)),
            "4711\r\n03/15/2003\r\n20:14:07\r\nUnknown\r\n" + Zeros(40, false));
  // A short reference line gives what exists of date and time.
  EXPECT_EQ(SerializeRecord(UnknownRecord("x", "L 03/1")),
            "x\r\n03/1\r\n\r\nUnknown\r\n" + Zeros(40, false));
  EXPECT_EQ(SerializeRecord(UnknownRecord("x", "")), "x\r\n\r\n\r\nUnknown\r\n" + Zeros(40, false));
}

TEST(PlayerFile, SkillValue) {
  Fields f(44, "0");
  f[19 + 14] = "3";  // ak47
  f[19 + 23] = "1";  // knife
  f[field::kDeaths] = "4";
  f[field::kBombPlanted] = "1";
  EXPECT_EQ(SkillValue(f), 188);
  f[field::kHostageTouched] = "2";
  f[field::kHostageKilled] = "1";
  f[field::kBombDefused] = "1";
  EXPECT_EQ(SkillValue(f), 178 + 50);
  Fields empty;
  EXPECT_EQ(SkillValue(empty), 0);
  Fields zero_divisor(44, "0");
  zero_divisor[20] = "1";  // usp, weight 12
  zero_divisor[field::kDeaths] = "-1";
  EXPECT_EQ(SkillValue(zero_divisor), 120);
  // Divisor -1 on a wrapped product: no trap, and 32-bit wrapping all along.
  // Each count 2^31 - 1 is -1 - 2^31 modulo 2^32; the weights sum to 406, an
  // even number, so the weighted kills are -406, times 10 is -4060, divided
  // by -1 is 4060; the four objective counts give -4, times 10 is -40.
  Fields huge(44, "2147483647");
  huge[field::kDeaths] = "-2";
  EXPECT_EQ(SkillValue(huge), 4020);
}

TEST(PlayerFile, PathsStayInsideTheDatabase) {
  EXPECT_EQ(PlayerFilePath("/p/Datenbanken/db1", "4711"), "/p/Datenbanken/db1/4711.db");
  EXPECT_EQ(PlayerFilePath("/p/db", ""), "/p/db/.db");
  EXPECT_EQ(PlayerFilePath("/p/db", ".."), "/p/db/...db");
  EXPECT_EQ(PlayerFilePath("/p/db", "STEAM_0:1:2"), "/p/db/STEAM_0:1:2.db");
  // The longest id still has room for its page name "<id>.htm"; one more byte
  // and the player could never get a page, so the id is refused up front.
  const std::string longest(kMaxPlayerIdBytes, 'i');
  EXPECT_EQ(PlayerFilePath("/p/db", longest), "/p/db/" + longest + ".db");
  for (const std::string& id : std::vector<std::string>{"../../etc/passwd", "a/b", "/",
                                                        std::string("a\0b", 3), longest + "i"}) {
    try {
      PlayerFilePath("/p/db", id);
      ADD_FAILURE() << "no error for " << id;
    } catch (const FileError& error) {
      EXPECT_EQ(error.kind(), FileError::Kind::kInvalidName);
      EXPECT_EQ(error.file().string(), "/p/db/" + id + ".db");
    }
  }
}

TEST(PlayerFile, IncrementFieldCreatesThenCounts) {
  TempDir db;
  // The creating event counts, written as every rewrite is (44 lines, CR LF).
  IncrementField(db.path(), "4711", 7, kReference);
  const std::string head = "4711\r\n03/15/2003\r\n20:14:07\r\nUnknown\r\n";
  EXPECT_EQ(ReadBytes(db / "4711.db"), head + Zeros(3, true) + "1\r\n" + Zeros(36, true));

  IncrementField(db.path(), "4711", 7, kReference);
  EXPECT_EQ(ReadBytes(db / "4711.db"), head + Zeros(3, true) + "2\r\n" + Zeros(36, true));
}

TEST(PlayerFile, IncrementFieldKeepsOtherFieldsAndDropsSkillLine) {
  TempDir db;
  Fields f(44, "3");
  f[0] = "other";
  f[3] = "Bob \"<x>\"";
  f[7] = "41";
  WriteBytes(db / "4711.db", JoinFields(f) + "130");
  IncrementField(db.path(), "4711", 7, kReference);
  f[7] = "42";
  EXPECT_EQ(ReadBytes(db / "4711.db"), JoinFields(f));

  // Text and missing fields: the count becomes 1, missing fields empty lines.
  WriteBytes(db / "short.db", "short\r\nd\r\nt\r\nName\r\nabc");
  IncrementField(db.path(), "short", 4, kReference);
  EXPECT_EQ(ReadBytes(db / "short.db"), "short\r\nd\r\nt\r\nName\r\n1\r\n" + EmptyLines(39));

  // A count at the 32-bit maximum stays there.
  Fields top(44, "0");
  top[8] = "2147483647";
  WriteBytes(db / "top.db", JoinFields(top));
  IncrementField(db.path(), "top", 8, kReference);
  EXPECT_EQ(SplitFields(ReadBytes(db / "top.db"))[8], "2147483647");

  // Fields beyond 1000 bytes are kept (the whole file is read).
  Fields big(44, "0");
  big[3] = std::string(5000, 'n');
  WriteBytes(db / "big.db", JoinFields(big));
  IncrementField(db.path(), "big", 43, kReference);
  big[43] = "1";
  EXPECT_EQ(ReadBytes(db / "big.db"), JoinFields(big));
}

TEST(PlayerFile, FailuresNameTheFile) {
  TempDir db;
  std::filesystem::create_directory(db / "dir.db");
  try {
    IncrementField(db.path(), "dir", 4, kReference);
    ADD_FAILURE();
  } catch (const FileError& error) {
    EXPECT_EQ(error.file(), db / "dir.db");
    EXPECT_NE(std::string(error.what()).find("dir.db"), std::string::npos);
  }
  try {
    IncrementField(db / "missing", "4711", 4, kReference);
    ADD_FAILURE();
  } catch (const FileError& error) {
    EXPECT_EQ(error.kind(), FileError::Kind::kCreate);
    EXPECT_EQ(error.file(), db / "missing" / "4711.db");
  }
  EXPECT_THROW(IncrementField(db.path(), "../escape", 4, kReference), FileError);
  EXPECT_FALSE(std::filesystem::exists(db.path().parent_path() / "escape.db"));

  // A named pipe in place of a player file is refused at once instead of
  // waiting for a writer that never comes.
  ASSERT_EQ(::mkfifo((db / "pipe.db").c_str(), 0644), 0);
  try {
    IncrementField(db.path(), "pipe", 4, kReference);
    ADD_FAILURE();
  } catch (const FileError& error) {
    EXPECT_EQ(error.kind(), FileError::Kind::kOpen);
    EXPECT_EQ(error.file(), db / "pipe.db");
  }
}

}  // namespace
}  // namespace varnokel
