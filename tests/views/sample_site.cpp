#include "tests/views/sample_site.h"

#include "base/file_io.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "report/report_run.h"

namespace varnokel::views_test {

namespace fs = std::filesystem;

void MakeProgramFolder(const fs::path& shipped, const fs::path& folder) {
  fs::create_directories(folder / "Datenbanken" / "db1");
  for (const char* name : {"varnokel_design.htm", "varnokel.swf"})
    fs::copy_file(shipped / name, folder / name, fs::copy_options::overwrite_existing);
  if (!fs::exists(folder / "ruffle"))
    fs::create_directory_symlink(shipped / "ruffle", folder / "ruffle");
}

void WritePlayers(const fs::path& folder, int count, const std::string& salt) {
  const fs::path db = folder / "Datenbanken" / "db1";
  for (int n = 1; n <= count; ++n) {
    const std::string id = "STEAM_0:1:" + std::to_string(1000 + n);
    Fields fields = SplitFields(SerializeRecord(
        NewRecord(id, "07/12/2026", "20:15:00", salt + "Spieler" + std::to_string(n))));
    fields.resize(kFieldCount);
    fields[field::kCtJoins] = std::to_string(3 + n);
    fields[field::kDeaths] = std::to_string(4 + 2 * n);
    fields[field::kKills] = std::to_string(40 - n);
    fields[field::kBombPlanted] = std::to_string(n % 3);
    fields[field::kPlayTime] = std::to_string(1800 + 600 * n);
    for (int w = 0; w < kWeaponCount; ++w)
      fields[kFirstWeaponField + w] = std::to_string((w * 7 + n * 3) % 11);
    WriteFileAtomic(PlayerFilePath(db, id), JoinFields(fields));
  }
}

void WriteSite(const fs::path& folder, const ColourSet& colours) {
  fs::create_directories(folder / "html");
  ReportRun(folder, folder / "Datenbanken" / "db1", colours);
}

ColourSet SampleColours(const std::string& background) {
  return {background, "#4c7da8", "#1f3b57", "#16293d", "#1b3149", "#2d5478",
          "#d8e4ee",  "#ffcf66", "#7fd1ff", "#ffffff", "#3cc4a8", "#24384d"};
}

}  // namespace varnokel::views_test
