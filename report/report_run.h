// SPDX-License-Identifier: GPL-3.0-or-later
// The report run: the whole static statistics site of one database.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "report/colour_settings.h"
#include "report/site_writer.h"

namespace varnokel {

// " HTML - Ausgabe " + number + " fertig...", appended to the status line.
std::string ReportDoneStatus(std::string_view database_number);

// Brings the folder `site.dir` to st.htm, se.htm, sp.htm, the 24 weapon
// pages and wt.htm, one page per player and style.css from `colours`, all
// byte for byte as if written whole, but writes only the pages whose bytes
// change (SiteWriter) and removes the pages of players who are gone, as the
// database's own index of that folder names them (SiteIndexFile). Waits
// while another report run writes the same folder, or throws SiteBusy as
// `site.wait` says. Throws FileError naming the file when a player file
// cannot be read (before any page is written) or a page cannot be written
// (the pages written before stay). Navigation of the HTML view and the
// status text are the caller's. The history pages (HistorySite) come from
// the database's event store and say they were written at `now`. Every file
// of the database is read before `database_read` is called, and only the
// site index (SiteTarget::around_index_write) is touched there after it.
SiteChanges ReportRun(const SiteTarget& site, const std::filesystem::path& database_dir,
                      const ColourSet& colours, std::time_t now = std::time(nullptr),
                      const std::function<void()>& database_read = {});

// The site in the program folder's own site folder (DefaultSiteDir).
SiteChanges ReportRun(const std::filesystem::path& program_dir,
                      const std::filesystem::path& database_dir, const ColourSet& colours,
                      std::time_t now = std::time(nullptr));

// program_dir + "/html": where the site goes unless the caller names a folder.
std::filesystem::path DefaultSiteDir(const std::filesystem::path& program_dir);

}  // namespace varnokel
