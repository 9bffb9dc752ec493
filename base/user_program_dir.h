// SPDX-License-Identifier: GPL-3.0-or-later
// The program folder of an installed program. An executable that finds the
// databases folder beside itself (the build's staged folder, or a copied
// program folder) works there, as the window always has. An installed
// executable (in <prefix>/bin) cannot write there; it works in a folder of
// the user's own, set up on first start from the files the installation ships
// in <prefix>/share/varnokel/, and never writes below <prefix>.
#pragma once

#include <filesystem>
#include <string_view>

namespace varnokel {

// The folder of the nine databases inside a program folder.
inline constexpr std::string_view kDatabasesFolder = "Datenbanken";
inline constexpr int kDatabaseCount = 9;

// True when `dir` holds the databases folder, which makes it a program folder.
bool IsProgramFolder(const std::filesystem::path& dir);

// The per-user program folder by the XDG rule: `xdg_data_home` + "/varnokel"
// when that is an absolute path, else `home` + "/.local/share/varnokel" (an
// empty or relative XDG_DATA_HOME is ignored). Throws std::runtime_error when
// neither gives an absolute folder.
std::filesystem::path UserProgramDir(std::string_view xdg_data_home, std::string_view home);

// The same from the environment; without HOME the password database gives
// the home folder.
std::filesystem::path UserProgramDirFromEnvironment();

// The installation's shared files: <prefix>/share/varnokel for an executable
// in <prefix>/bin (`executable_dir`).
std::filesystem::path SharedFilesDir(const std::filesystem::path& executable_dir);

// Makes `folder` a program folder unless it already is one: every shipped
// file of `shared` is copied (the site's files, the state files, the design
// page, the animation, the background; the site's with the modes 0755 and
// 0644), the large read-only parts ("ruffle", "fonts", "samples") stay in
// the installation only, and the nine empty databases are made last
// under their final name in one rename, so an interrupted start is completed
// by the next one. Files already in `folder` are kept. Throws FileError naming
// the folder or file that could not be read or made.
void SetUpUserProgramDir(const std::filesystem::path& folder, const std::filesystem::path& shared);

// The folder given with --program-dir: one that is missing or empty is made a
// program folder from the installation's shared files (SetUpUserProgramDir
// with the shared files of the running executable), as the per-user folder
// is at first start; any other folder is used as it is. True when the folder
// was made now, for the caller to say so once. Throws what the set-up throws.
bool SetUpGivenProgramFolder(const std::filesystem::path& folder);

// The program folder when none is given: the executable's folder when it is
// a program folder (`per_user` false), else the per-user folder, set up from
// the shared files if needed (`per_user` true).
struct ProgramFolderChoice {
  std::filesystem::path folder;
  bool per_user;
};
ProgramFolderChoice ChooseProgramFolder();

}  // namespace varnokel
