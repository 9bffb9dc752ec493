#include "base/replaced_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/file_io.h"
#include "tests/core/test_support.h"

namespace varnokel {
namespace {

size_t OpenDescriptors() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

// The replaced file lives on, unnamed, until it is let go of; the closer lets
// go of every one it was given, and the new file is in place meanwhile.
TEST(ReplacedFile, OldFileIsFreedByTheCloser) {
  testing::TempDir dir;
  const size_t before = OpenDescriptors();
  {
    ReplacedFileCloser closer;
    for (int round = 0; round < 20; ++round) {
      std::string name = "p";  // piece by piece: GCC 12 at -O3 misreads "p" + ... (-Wrestrict)
      name += std::to_string(round % 4);
      name += ".htm";
      const std::filesystem::path page = dir / name;
      ReplacedFile replaced = WriteFileAtomic(page, std::string(round + 1, 'x'));
      EXPECT_EQ(replaced.open(), round >= 4) << round;  // the first write of a page replaces none
      closer.Close(std::move(replaced));
      EXPECT_EQ(ReadFileBytes(page), std::string(round + 1, 'x'));
    }
  }
  EXPECT_EQ(OpenDescriptors(), before);
  size_t files = 0;  // the four pages, no temporary file left
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++files;
  EXPECT_EQ(files, 4u);
}

// A file written in pieces is in place only once committed; a writer given
// up on halfway leaves the old file and no temporary file.
TEST(AtomicFileWriter, PiecesAppearAtCommitAndNothingWhenGivenUp) {
  testing::TempDir dir;
  const std::filesystem::path page = dir / "page.htm";
  WriteFileAtomic(page, "old");
  {
    AtomicFileWriter half(page);
    half.Write("new, but ");
  }
  EXPECT_EQ(ReadFileBytes(page), "old");
  AtomicFileWriter whole(page);
  whole.Write("new, ");
  whole.Write("whole");
  EXPECT_EQ(ReadFileBytes(page), "old");
  EXPECT_TRUE(whole.Commit().open());
  EXPECT_EQ(ReadFileBytes(page), "new, whole");
  EXPECT_EQ(testing::FolderContents(dir.path()).size(), 1u);
}

// A new file made in place shows its bytes as they come, and is gone again
// when given up; a file already there is still replaced only at Commit.
TEST(AtomicFileWriter, NewFileInPlaceIsRemovedWhenGivenUpAndAnOldOneStaysAtomic) {
  testing::TempDir dir;
  const std::filesystem::path page = dir / "page.htm";
  constexpr auto kInPlace = AtomicFileWriter::NewFile::kInPlace;
  {
    AtomicFileWriter half(page, std::nullopt, kInPlace);
    half.Write("new, but ");
    EXPECT_EQ(ReadFileBytes(page), "new, but ");
  }
  EXPECT_FALSE(std::filesystem::exists(page));
  AtomicFileWriter first(page, std::filesystem::perms(0640), kInPlace);
  first.Write("first");
  EXPECT_FALSE(first.Commit().open());
  EXPECT_EQ(std::filesystem::status(page).permissions(), std::filesystem::perms(0640));
  AtomicFileWriter second(page, std::nullopt, kInPlace);
  second.Write("second");
  EXPECT_EQ(ReadFileBytes(page), "first");
  EXPECT_TRUE(second.Commit().open());
  EXPECT_EQ(ReadFileBytes(page), "second");
  EXPECT_EQ(testing::FolderContents(dir.path()).size(), 1u);
}

}  // namespace
}  // namespace varnokel
