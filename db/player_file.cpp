#include "db/player_file.h"

#include <sys/stat.h>

#include <cstring>
#include <limits>

#include "base/file_io.h"
#include "base/text_lines.h"

namespace varnokel {

namespace {

// The weights of the skill value, in weapon order (knife 50, awp 12).
constexpr std::array<int, kWeaponCount> kWeaponWeights = {
    12, 18, 15, 18, 21, 20, 20, 16, 13, 19, 14, 20, 16, 13, 10, 10, 11, 20, 12, 14, 15, 14, 50, 15,
};

constexpr std::array<Weapon, kWeaponCount> MakeWeapons() {
  std::array<Weapon, kWeaponCount> weapons{};
  for (size_t i = 0; i < weapons.size(); ++i) weapons[i] = {kWeaponNames[i], kWeaponWeights[i]};
  return weapons;
}

const std::string kEmptyField;

// 32-bit signed arithmetic that wraps like the machine does, without the
// undefined behaviour of signed overflow in C++.
int32_t Wrap(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace

const std::array<Weapon, kWeaponCount> kWeapons = MakeWeapons();

int WeaponWeightOf(std::string_view name) {
  const int weapon = WeaponNumberOf(name);
  return weapon == 0 ? 0 : kWeapons[static_cast<size_t>(weapon - 1)].weight;
}

int ObjectiveField(Objective objective) {
  switch (objective) {
    case Objective::kTouchedAHostage:
      return field::kHostageTouched;
    case Objective::kKilledAHostage:
      return field::kHostageKilled;
    case Objective::kRescuedAHostage:
      return field::kHostageRescued;
    case Objective::kSpawnedWithTheBomb:
      return field::kBombSpawned;
    case Objective::kDroppedTheBomb:
      return field::kBombDropped;
    case Objective::kPlantedTheBomb:
      return field::kBombPlanted;
    case Objective::kGotTheBomb:
      return field::kBombPickedUp;
    case Objective::kBeginBombDefuseWithoutKit:
      return field::kDefuseWithoutKit;
    case Objective::kDefusedTheBomb:
      return field::kBombDefused;
    case Objective::kBeginBombDefuseWithKit:
      return field::kDefuseWithKit;
  }
  return field::kHostageTouched;  // not reached: every objective is listed
}

int TeamJoinField(Team team) {
  return team == Team::kCt ? field::kCtJoins : field::kOtherJoins;
}

const std::string& FieldAt(const Fields& fields, int index) {
  return index >= 0 && static_cast<size_t>(index) < fields.size()
             ? fields[static_cast<size_t>(index)]
             : kEmptyField;
}

int32_t Atoi(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kLimit) value = kLimit;  // saturate; keeps the loop free of overflow
  }
  if (negative) return static_cast<int32_t>(-value);
  return value >= kLimit ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(value);
}

bool IsValidPlayerId(std::string_view id) {
  if (id.empty() || id.front() == '.') return false;  // a hidden file
  return id.size() <= kMaxPlayerIdBytes && std::memchr(id.data(), '/', id.size()) == nullptr &&
         std::memchr(id.data(), '\0', id.size()) == nullptr;
}

std::filesystem::path PlayerFilePath(const std::filesystem::path& database_dir,
                                     std::string_view player_id) {
  std::string name = std::string(player_id) + ".db";
  if (player_id.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
    throw FileError(FileError::Kind::kInvalidName, database_dir.string() + "/" + name,
                    "Spieler-ID enth\xC3\xA4lt \"/\" oder ein NUL-Byte");
  }
  if (player_id.size() > kMaxPlayerIdBytes) {
    throw FileError(FileError::Kind::kInvalidName, database_dir.string() + "/" + name,
                    "Spieler-ID zu lang f\xC3\xBCr einen Dateinamen");
  }
  return database_dir / name;
}

Fields SplitFields(std::string_view bytes) {
  return SplitLines(bytes);
}

std::string JoinFields(const Fields& fields) {
  std::string bytes;
  bytes.reserve(256);
  for (int i = 0; i < kFieldCount; ++i) {
    bytes += FieldAt(fields, i);
    bytes += "\r\n";
  }
  return bytes;
}

int32_t SkillValue(const Fields& fields) {
  int32_t weighted = 0;
  for (int i = 0; i < kWeaponCount; ++i) {
    int64_t kills = Atoi(FieldAt(fields, kFirstWeaponField + i));
    weighted = Wrap(int64_t{weighted} + kills * kWeapons[static_cast<size_t>(i)].weight);
  }
  int32_t divisor = Wrap(int64_t{Atoi(FieldAt(fields, field::kDeaths))} + 1);
  if (divisor == 0) divisor = 1;
  // int64 division: INT32_MIN / -1 wraps back to INT32_MIN instead of trapping.
  int32_t base = Wrap(int64_t{Wrap(int64_t{weighted} * 10)} / divisor);
  int64_t touched = int64_t{Atoi(FieldAt(fields, field::kHostageTouched))} +
                    Atoi(FieldAt(fields, field::kHostageKilled)) +
                    Atoi(FieldAt(fields, field::kBombDefused)) +
                    Atoi(FieldAt(fields, field::kBombPlanted));
  int32_t bonus = Wrap(int64_t{Wrap(touched)} * 10);
  return Wrap(int64_t{base} + bonus);
}

std::string IncrementedCount(std::string_view count) {
  int32_t value = Atoi(count);
  return std::to_string(value == std::numeric_limits<int32_t>::max() ? value : value + 1);
}

Fields ReadPlayerFile(const std::filesystem::path& file) {
  return SplitFields(ReadFileText(file, /*follow_links=*/false));
}

bool PlayerFileExists(const std::filesystem::path& file) {
  struct stat st {};
  return ::lstat(file.c_str(), &st) == 0;
}

}  // namespace varnokel
