#include "report/player_listing.h"

#include "base/file_io.h"
#include "report/html_escape.h"
#include "report/page_text.h"

namespace varnokel {

namespace {

constexpr std::string_view kPlayerSuffix = ".db";

bool IsPlayerEntryName(std::string_view name) {
  return name.size() > kPlayerSuffix.size() && name.front() != '.' &&
         name.substr(name.size() - kPlayerSuffix.size()) == kPlayerSuffix;
}

}  // namespace

std::vector<std::string> PlayerEntryNames(const std::filesystem::path& database_dir) {
  std::vector<std::string> names = ListEntryNames(database_dir);
  std::erase_if(names, [&](const std::string& name) {
    return !IsPlayerEntryName(name) || IsSymbolicLink(database_dir / name) ||
           !IsRegularFile(database_dir / name);
  });
  return names;
}

ListedPlayer ListedPlayerOf(std::string stem, std::string bytes) {
  ListedPlayer player;
  player.stem = std::move(stem);
  player.bytes = std::move(bytes);
  const Fields fields = SplitFields(player.bytes);
  player.id = FieldAt(fields, field::kId);
  player.name = FieldAt(fields, field::kName);
  player.link = PercentEncode(player.id);
  player.shown_name = PageText(player.name);
  player.skill = SkillValue(fields);
  player.play_time = Atoi(FieldAt(fields, field::kPlayTime));
  for (int w = 0; w < kWeaponCount; ++w)
    player.weapon_kills[w] = Atoi(FieldAt(fields, WeaponKillsField(w + 1)));
  return player;
}

ListedPlayer ReadListedPlayer(const std::filesystem::path& database_dir,
                              const std::string& entry_name) {
  std::string bytes = ReadFileText(database_dir / entry_name, /*follow_links=*/false);
  bytes.shrink_to_fit();  // the reader leaves room for growth; many are kept
  return ListedPlayerOf(entry_name.substr(0, entry_name.size() - kPlayerSuffix.size()),
                        std::move(bytes));
}

PlayerListing BuildPlayerListing(const std::filesystem::path& database_dir) {
  PlayerListing listing;
  const std::vector<std::string> names = PlayerEntryNames(database_dir);
  listing.reserve(names.size());
  for (const std::string& name : names) listing.push_back(ReadListedPlayer(database_dir, name));
  return listing;
}

}  // namespace varnokel
