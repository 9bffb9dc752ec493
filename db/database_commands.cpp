#include "db/database_commands.h"

#include <unistd.h>

#include "base/file_io.h"
#include "db/player_file.h"

namespace varnokel {

// Labels as the window shows them (UTF-8; they never go into a file).
const std::array<DetailSlot, kDetailCount> kDetailSlots = {{
    {"Name:", field::kName},
    {"CT join", field::kCtJoins},
    {"Terror join", field::kOtherJoins},
    {"Death", field::kDeaths},
    {"Kills", field::kKills},
    {"Geisel angesp.", field::kHostageTouched},
    {"Geisel get\xC3\xB6tet", field::kHostageKilled},
    {"Geisel gerettet", field::kHostageRescued},
    {"Bombe gelegt", field::kBombPlanted},
    {"Bombe entsch.", field::kBombDefused},
    {"Zeit in sec", field::kPlayTime},
    {"usp", 20},
    {"glock 18", 21},
    {"desert eagle", 22},
    {"mp5 navy", 28},
    {"tmp", 29},
    {"p90", 30},
    {"mac 10", 31},
    {"ak47", 33},
    {"m4a1", 35},
    {"steyr aug", 36},
    {"steyr scout", 37},
    {"awm", 38},
    {"sg 550", 40},
    {"para", 41},
    {"knife", 42},
}};

namespace {

// Entries that are player files or anything else a user put there; names
// beginning with "." (among them the temporary files of atomic writes) are
// never listed or deleted.
std::vector<std::string> VisibleEntries(const std::filesystem::path& database_dir) {
  std::vector<std::string> names;
  for (std::string& name : ListEntryNames(database_dir)) {
    if (!name.empty() && name[0] != '.') names.push_back(std::move(name));
  }
  return names;
}

}  // namespace

std::vector<std::string> ListPlayers(const std::filesystem::path& database_dir) {
  return VisibleEntries(database_dir);
}

PlayerDetails ReadPlayerDetails(const std::filesystem::path& database_dir, std::string_view entry) {
  std::string name(entry);
  std::filesystem::path file = database_dir.string() + "/" + name;
  // A listed entry never holds "/"; anything else would reach outside the
  // database folder.
  if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos || name.empty() ||
      name == "." || name == "..") {
    throw FileError(FileError::Kind::kInvalidName, file, "not an entry of the database");
  }
  Fields fields = ReadPlayerFile(file);
  PlayerDetails details;
  for (size_t i = 0; i < details.size(); ++i) details[i] = FieldAt(fields, kDetailSlots[i].field);
  return details;
}

void DeleteDatabase(const std::filesystem::path& database_dir) {
  for (const std::string& name : VisibleEntries(database_dir)) {
    std::filesystem::path file = database_dir / name;
    ::unlink(file.c_str());  // folders and files in use stay; no message
  }
}

}  // namespace varnokel
