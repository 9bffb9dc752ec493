#include "db/database_commands.h"

#include <unistd.h>

#include "base/file_io.h"
#include "db/event_store.h"
#include "db/ledger.h"
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
    {"usp", WeaponKillsField("usp")},
    {"glock 18", WeaponKillsField("glock18")},
    {"desert eagle", WeaponKillsField("deagle")},
    {"mp5 navy", WeaponKillsField("mp5navy")},
    {"tmp", WeaponKillsField("tmp")},
    {"p90", WeaponKillsField("p90")},
    {"mac 10", WeaponKillsField("mac10")},
    {"ak47", WeaponKillsField("ak47")},
    {"m4a1", WeaponKillsField("m4a1")},
    {"steyr aug", WeaponKillsField("aug")},
    {"steyr scout", WeaponKillsField("scout")},
    {"awm", WeaponKillsField("awp")},
    {"sg 550", WeaponKillsField("sg550")},
    {"para", WeaponKillsField("para")},
    {"knife", WeaponKillsField("knife")},
}};

namespace {

// Entries that are player files or anything else a user put there; names
// beginning with "." (the database's ledger, lock and journal among
// them) are never listed or deleted, symbolic links are not players, and
// the event store is the database's own.
bool IsEventStoreFile(std::string_view name) {
  return name == kEventStoreFileName || name == kEventStoreJournalName;
}

std::vector<std::string> VisibleEntries(const std::filesystem::path& database_dir) {
  std::vector<std::string> names;
  for (std::string& name : ListEntryNames(database_dir)) {
    if (!name.empty() && name[0] != '.' && !IsEventStoreFile(name) &&
        !IsSymbolicLink(database_dir / name))
      names.push_back(std::move(name));
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
    throw FileError(FileError::Kind::kInvalidName, file, "kein Eintrag der Datenbank");
  }
  Fields fields = ReadPlayerFile(file);  // refuses a symbolic link
  PlayerDetails details;
  for (size_t i = 0; i < details.size(); ++i) details[i] = FieldAt(fields, kDetailSlots[i].field);
  return details;
}

void DeleteDatabase(const std::filesystem::path& database_dir) {
  for (std::string name : ListEntryNames(database_dir)) {
    if (name.empty() || name[0] == '.') continue;
    std::filesystem::path file = database_dir / name;
    ::unlink(file.c_str());  // folders stay; no message (a link goes, not what it points to)
  }
  // With its players gone the database holds no log any more: the ledger
  // must not keep the same logs from being folded again, and the event store
  // goes with them (the next update makes it afresh).
  ::unlink((database_dir / kLedgerFileName).c_str());
  RemoveEventStore(database_dir);
}

}  // namespace varnokel
