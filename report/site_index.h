// SPDX-License-Identifier: GPL-3.0-or-later
// The site index of one database's site in one folder, kept in the database
// folder where no web server serves it (SiteIndexFile): for every page a
// report run wrote, the fingerprint of the input it was written from and the
// identity of the file, plus the fingerprint of the site format (templates
// and program) of that run. It decides which pages a run may leave as they
// are, and which files of the folder are the site's own to remove.
//
// The file is text, one page a line:
//   "varnokel site index 1" LF
//   "format " <32 hex digits> LF
//   <input: 32 hex digits, or "-"> " " <inode> " " <size> " " <mtime ns> " "
//       <name length> " " <name bytes> LF                      (once per page)
//   "end " <32 hex digits: fingerprint of every byte before this line> LF
// An inode of 0 stands for "no identity". Names are counted, not escaped: a
// player file may be named with any bytes but "/" and NUL.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/page_input.h"
#include "report/site_folder.h"

namespace varnokel {

// The name the index had in the site folder itself, where it was served: a
// run removes such a file and trusts none of it.
inline constexpr std::string_view kServedSiteIndexName = ".varnokel-index";

// The index of the site of `database_dir` in `site_dir`: a hidden file in the
// database folder named after the site folder's absolute path, so that every
// database keeps its own index of every site it writes, and a report of one
// database never takes another database's pages for its own.
std::filesystem::path SiteIndexFile(const std::filesystem::path& site_dir,
                                    const std::filesystem::path& database_dir);

struct SiteIndexEntry {
  // None: the page's bytes match no known input (a run was about to rewrite
  // it and may have stopped before or after doing so).
  std::optional<Fingerprint> input;
  // None: any regular file of that name is the site's own.
  std::optional<FileIdentity> file;
};

struct SiteIndex {
  Fingerprint format{};
  std::vector<std::pair<std::string, SiteIndexEntry>> pages;  // in the order written
};

std::string FormatSiteIndex(const SiteIndex& index);

// None when `bytes` is not a whole index as FormatSiteIndex writes it (cut
// short, changed, of another version): the caller then trusts no page.
std::optional<SiteIndex> ParseSiteIndex(std::string_view bytes);

}  // namespace varnokel
