#include "report/report_run.h"

#include <system_error>

#include "base/file_io.h"
#include "report/player_list.h"
#include "report/player_listing.h"
#include "report/player_pages.h"
#include "report/sessions_table.h"
#include "report/skill_table.h"
#include "report/weapon_pages.h"

namespace varnokel {

std::string ReportDoneStatus(std::string_view database_number) {
  return " HTML - Ausgabe " + std::string(database_number) + " fertig...";
}

void ReportRun(const std::filesystem::path& program_dir, const std::filesystem::path& database_dir,
               const ColourSet& colours) {
  const std::filesystem::path html_dir = program_dir / "html";
  std::error_code error;
  std::filesystem::create_directories(html_dir, error);
  if (error) throw FileError(FileError::Kind::kCreate, html_dir, error.message());

  // Every player file is read once, before the first page is written: a file
  // that cannot be read stops the run with every page of the last run intact.
  const PlayerListing listing = BuildPlayerListing(database_dir);
  WriteFileAtomic(html_dir / "st.htm", SkillTablePage(listing));
  WriteFileAtomic(html_dir / "se.htm", SessionsTablePage(listing));
  WriteFileAtomic(html_dir / "sp.htm", PlayerListPage(listing));
  WriteWeaponPages(html_dir, listing);
  WritePlayerPages(html_dir, listing);
  WriteFileAtomic(html_dir / "style.css", StyleSheetText(colours));
}

}  // namespace varnokel
