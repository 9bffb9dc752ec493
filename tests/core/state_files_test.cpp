#include "base/state_files.h"

#include <gtest/gtest.h>

#include "base/file_io.h"
#include "tests/core/test_support.h"

namespace varnokel {
namespace {

using testing::TempDir;
using testing::WriteBytes;

DatabaseNotes NotesFrom(std::string_view bytes) {
  TempDir dir;
  WriteBytes(dir / "buffer.no", bytes);
  return ReadDatabaseNotes(dir / "buffer.no");
}

TEST(StateFiles, ReadingRule) {
  EXPECT_EQ(NotesFrom("\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"), DatabaseNotes{});
  EXPECT_EQ(NotesFrom("a\r\nb"), (DatabaseNotes{"a", "b"}));
  EXPECT_EQ(NotesFrom("a\nb\n"), (DatabaseNotes{"a", "b"}));  // bare LF reads the same
  EXPECT_EQ(NotesFrom(std::string("a\r\nb\0c\r\nd", 9)), (DatabaseNotes{"a", "b"}));
  EXPECT_EQ(NotesFrom("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11"),
            (DatabaseNotes{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
  EXPECT_EQ(NotesFrom("x\r\r\ny"), (DatabaseNotes{"x\r", "y"}));
  EXPECT_EQ(NotesFrom(""), DatabaseNotes{});
  std::string long_note(5000, 'n');  // the whole file is read
  EXPECT_EQ(NotesFrom(long_note + "\r\nb")[0], long_note);
}

TEST(StateFiles, WritingAndFailures) {
  TempDir dir;
  WriteDatabaseNotes(dir / "buffer.no", DatabaseNotes{});
  EXPECT_EQ(ReadFileBytes(dir / "buffer.no"), "\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
  DatabaseNotes notes{"eins", "", "drei \"<b>\""};
  WriteDatabaseNotes(dir / "buffer.no", notes);
  EXPECT_EQ(ReadDatabaseNotes(dir / "buffer.no"), notes);
  EXPECT_EQ(ListEntryNames(dir.path()), (std::vector<std::string>{"buffer.no"}));  // no temp left
  EXPECT_THROW(ReadDatabaseNotes(dir / "missing.no"), FileError);
  EXPECT_THROW(WriteDatabaseNotes(dir / "no" / "buffer.no", notes), FileError);
}

}  // namespace
}  // namespace varnokel
