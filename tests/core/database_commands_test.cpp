#include "db/database_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/file_io.h"
#include "db/database.h"
#include "db/database_lock.h"
#include "db/journaled_commit.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "tests/core/test_support.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteBytes;

TEST(Database, NumbersAndFolders) {
  for (const char* ok : {"1", "5", "9"}) EXPECT_TRUE(IsValidDatabaseNumber(ok));
  for (const char* bad : {"0", "10", "", "a", "-1", " 1"}) EXPECT_FALSE(IsValidDatabaseNumber(bad));
  EXPECT_EQ(DatabaseDir("/opt/stats", "3"), "/opt/stats/Datenbanken/db3");
}

TEST(DatabaseCommands, ListingIsSortedAndSkipsDotEntries) {
  TempDir db;
  for (const char* name :
       {"4711.db", "0815.db", ".db", "...db", "Zed.db", "alpha.db", "\xC3\xA4.db"}) {
    WriteBytes(db / name, "x");
  }
  fs::create_directory(db / "sub");
  EXPECT_EQ(ListPlayers(db.path()), (std::vector<std::string>{"0815.db", "4711.db", "Zed.db",
                                                              "alpha.db", "sub", "\xC3\xA4.db"}));
  EXPECT_TRUE(ListPlayers(db / "missing").empty());
}

TEST(DatabaseCommands, DetailsShowTheFieldsAsStored) {
  TempDir db;
  Fields f(44);
  for (int i = 0; i < 44; ++i)
    f[static_cast<size_t>(i)] = std::string("f").append(std::to_string(i));
  f[38] = "5";  // awp
  f[37] = "7";  // scout
  WriteBytes(db / "p.db", JoinFields(f));
  PlayerDetails details = ReadPlayerDetails(db.path(), "p.db");
  for (int i = 0; i < kDetailCount; ++i) {
    EXPECT_EQ(details[static_cast<size_t>(i)],
              FieldAt(f, kDetailSlots[static_cast<size_t>(i)].field));
  }
  EXPECT_EQ(kDetailSlots[0].label, "Name:");
  EXPECT_EQ(details[0], "f3");
  EXPECT_EQ(kDetailSlots[21].label, "steyr scout");
  EXPECT_EQ(details[21], "7");
  EXPECT_EQ(kDetailSlots[22].label, "awm");
  EXPECT_EQ(details[22], "5");
  EXPECT_EQ(kDetailSlots[25].label, "knife");
  EXPECT_EQ(details[25], "f42");

  // A default record: the name and "0" everywhere else; a short file empty.
  WriteBytes(db / "new.db", SerializeRecord(NewRecord("new", "d", "t", "Bob")));
  PlayerDetails fresh = ReadPlayerDetails(db.path(), "new.db");
  EXPECT_EQ(fresh[0], "Bob");
  for (int i = 1; i < kDetailCount; ++i) EXPECT_EQ(fresh[static_cast<size_t>(i)], "0");
  WriteBytes(db / "short.db", "a\r\nb");
  EXPECT_EQ(ReadPlayerDetails(db.path(), "short.db")[0], "");
}

TEST(DatabaseCommands, DetailsFailNamingTheFile) {
  TempDir db;
  fs::create_directory(db / "sub");
  ASSERT_EQ(::mkfifo((db / "pipe.db").c_str(), 0644), 0);
  for (const char* entry : {"gone.db", "sub", "pipe.db", "../x.db", ".."}) {
    try {
      ReadPlayerDetails(db.path(), entry);
      ADD_FAILURE() << entry;
    } catch (const FileError& error) {
      EXPECT_EQ(error.file().string(), db.path().string() + "/" + entry);
    }
  }
}

TEST(DatabaseCommands, DeletionKeepsFoldersAndHiddenFiles) {
  TempDir db;
  WriteBytes(db / "a.db", "x");
  WriteBytes(db / "b.db", "x");
  WriteBytes(db / ".keep", "x");
  fs::create_directory(db / "sub");
  WriteBytes(db / "sub" / "inner.db", "x");
  DeleteDatabase(db.path());
  EXPECT_EQ(ListPlayers(db.path()), (std::vector<std::string>{"sub"}));
  EXPECT_TRUE(fs::exists(db / ".keep"));
  EXPECT_TRUE(fs::exists(db / "sub" / "inner.db"));
  DeleteDatabase(db / "missing");  // nothing happens
}

// A crash in an atomic write leaves a hidden temporary file: readers pass it
// by without a look through the whole folder, the next writer removes it; a
// writer that looked before passes it by too, but no interrupted commit.
TEST(DatabaseLock, LeftoverTemporaryGoesWithTheNextWriter) {
  TempDir db;
  WriteBytes(db / "a.db", "x");
  const fs::path leftover = db / ".a.db.tmp12345678";
  WriteBytes(leftover, "half");
  { const DatabaseLock reader(db.path(), DatabaseLock::Access::kRead); }
  EXPECT_TRUE(fs::exists(leftover));
  EXPECT_EQ(ListPlayers(db.path()), (std::vector<std::string>{"a.db"}));
  { const DatabaseLock writer(db.path(), DatabaseLock::Access::kWrite); }
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_TRUE(fs::exists(db / "a.db"));

  WriteBytes(leftover, "half");
  {
    const DatabaseLock again(db.path(), DatabaseLock::Access::kWriteAgain);
    EXPECT_EQ(again.access(), DatabaseLock::Access::kWrite);
  }
  EXPECT_TRUE(fs::exists(leftover));
  const fs::path pending = db / std::string(kPendingJournalName);
  WriteBytes(pending, "cut short");
  { const DatabaseLock again(db.path(), DatabaseLock::Access::kWriteAgain); }
  EXPECT_FALSE(fs::exists(pending));
}

}  // namespace
}  // namespace varnokel
