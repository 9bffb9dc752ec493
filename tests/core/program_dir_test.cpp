#include "base/program_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "base/file_io.h"
#include "base/user_program_dir.h"
#include "tests/core/test_support.h"

namespace varnokel {
namespace {

TEST(ProgramDir, IsTheFolderOfTheRunningExecutable) {
  const std::filesystem::path dir = ProgramDir();
  EXPECT_TRUE(dir.is_absolute());
  EXPECT_NE(dir.string().back(), '/');
  EXPECT_EQ(std::filesystem::read_symlink("/proc/self/exe").parent_path(), dir);
}

TEST(ProgramDir, AddressesEscapeOnlyWhatWouldChangeTheirMeaning) {
  EXPECT_EQ(ProgramDirUrl("/opt/Stats Tool/x y"), "/opt/Stats%20Tool/x%20y");
  EXPECT_EQ(ProgramDirUrl("/opt/a#b%c?d"), "/opt/a#b%c?d");
  EXPECT_EQ(DesignPageAddress("/opt/Stats Tool"), "file:///opt/Stats%20Tool/varnokel_design.htm");
  EXPECT_EQ(DesignPageAddress("/opt/Clan #1 100% ?"),
            "file:///opt/Clan%20%231%20100%25%20%3F/varnokel_design.htm");
  EXPECT_EQ(DesignPageAddress("/opt/\xe4rger"), "file:///opt/\xe4rger/varnokel_design.htm");
}

TEST(UserProgramDir, FollowsTheXdgDataHomeRule) {
  EXPECT_EQ(UserProgramDir("/data", "/home/u"), "/data/varnokel");
  EXPECT_EQ(UserProgramDir("/data/", "/home/u"), "/data/varnokel");
  EXPECT_EQ(UserProgramDir("", "/home/u"), "/home/u/.local/share/varnokel");
  EXPECT_EQ(UserProgramDir("relative/data", "/home/u"), "/home/u/.local/share/varnokel");
  EXPECT_THROW(UserProgramDir("", ""), std::runtime_error);
  EXPECT_THROW(UserProgramDir("data", "home"), std::runtime_error);
  EXPECT_EQ(SharedFilesDir("/usr/bin"), "/usr/share/varnokel");
  EXPECT_EQ(SharedFilesDir("/tmp/root/opt/x/bin"), "/tmp/root/opt/x/share/varnokel");
}

// A per-user folder made from an installation's shared files: copies of what
// the program writes or a user copies away (state files, site, readable by
// all whatever the umask), nothing of the large read-only parts, the nine
// empty databases; the installation untouched.
TEST(UserProgramDir, SetUpCopiesSharedFilesOnceAndNeverWritesThere) {
  namespace fs = std::filesystem;
  testing::TempDir root;
  const fs::path shared = root / "share";
  fs::create_directories(shared / "html/req");
  fs::create_directories(shared / "ruffle");
  testing::WriteBytes(shared / "color.no", "#000000\r\n");
  testing::WriteBytes(shared / "buffer.no", "\r\n\r\n");
  testing::WriteBytes(shared / "html/req/about.htm", "<html>");
  testing::WriteBytes(shared / "html/usp.gif", "GIF89a");
  testing::WriteBytes(shared / "ruffle/ruffle.js", "player");
  fs::permissions(shared / "color.no", fs::perms::owner_read | fs::perms::group_read);
  const auto shipped = testing::FolderContents(shared);
  const auto shipped_html = testing::FolderContents(shared / "html");

  const fs::path user = root / "home/.local/share/varnokel";
  const mode_t umask_before = ::umask(077);
  SetUpUserProgramDir(user, shared);
  ::umask(umask_before);
  EXPECT_TRUE(IsProgramFolder(user));
  for (int n = 1; n <= kDatabaseCount; ++n)
    EXPECT_TRUE(fs::is_empty(user / ("Datenbanken/db" + std::to_string(n)))) << n;
  EXPECT_FALSE(fs::exists(user / "Datenbanken/db10"));
  EXPECT_EQ(ReadFileBytes(user / "color.no"), "#000000\r\n");
  EXPECT_FALSE(fs::is_symlink(user / "color.no"));
  EXPECT_NE(fs::status(user / "color.no").permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_EQ(testing::FolderContents(user / "html"), shipped_html);
  EXPECT_FALSE(fs::is_symlink(user / "html"));
  for (const char* published : {"html", "html/req"})
    EXPECT_EQ(fs::status(user / published).permissions(), fs::perms(0755)) << published;
  EXPECT_EQ(fs::status(user / "html/usp.gif").permissions(), fs::perms(0644));
  EXPECT_FALSE(fs::exists(fs::symlink_status(user / "ruffle")));
  EXPECT_EQ(testing::FolderContents(user).size(), shipped.size());  // + Datenbanken - ruffle

  // A set-up folder is the user's: a later start changes nothing in it.
  WriteFileAtomic(user / "color.no", "#ffffff\r\n");
  fs::remove(user / "buffer.no");
  SetUpUserProgramDir(user, shared);
  EXPECT_EQ(ReadFileBytes(user / "color.no"), "#ffffff\r\n");
  EXPECT_FALSE(fs::exists(user / "buffer.no"));

  // A start that stopped before the databases: the next one adds what is
  // missing and keeps what is there.
  fs::remove_all(user / "Datenbanken");
  SetUpUserProgramDir(user, shared);
  EXPECT_TRUE(IsProgramFolder(user));
  EXPECT_EQ(ReadFileBytes(user / "color.no"), "#ffffff\r\n");
  EXPECT_EQ(ReadFileBytes(user / "buffer.no"), "\r\n\r\n");
  EXPECT_EQ(testing::FolderContents(shared), shipped);
  EXPECT_EQ(testing::FolderContents(shared / "html"), shipped_html);

  try {
    SetUpUserProgramDir(root / "other", root / "missing");
    ADD_FAILURE() << "no error without shared files";
  } catch (const FileError& error) {
    EXPECT_EQ(error.file(), root / "missing");
    EXPECT_FALSE(fs::exists(root / "other"));
  }
}

}  // namespace
}  // namespace varnokel
