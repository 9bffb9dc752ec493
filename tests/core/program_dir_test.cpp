#include "base/program_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace varnokel
