// SPDX-License-Identifier: GPL-3.0-or-later
// The player file: 44 fields, one per line with CR LF line ends.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "log/line_events.h"
#include "log/weapon_names.h"

namespace varnokel {

inline constexpr int kFieldCount = 44;
inline constexpr int kFirstWeaponField = 20;  // kills with weapon 1 (usp)

// Field indexes of the player file.
namespace field {
inline constexpr int kId = 0, kEnterDate = 1, kEnterTime = 2, kName = 3, kCtJoins = 4,
                     kOtherJoins = 5, kDeaths = 6, kKills = 7, kHostageTouched = 8,
                     kHostageKilled = 9, kHostageRescued = 10, kBombSpawned = 11, kBombDropped = 12,
                     kBombPlanted = 13, kBombPickedUp = 14, kDefuseWithoutKit = 15,
                     kBombDefused = 16, kDefuseWithKit = 17, kLeaveDate = 18, kPlayTime = 19;
}  // namespace field

// The field that counts the kills with weapon number `weapon` (1..24).
constexpr int WeaponKillsField(int weapon) {
  return kFirstWeaponField + weapon - 1;
}
// The same for the weapon of that name (one of kWeaponNames).
constexpr int WeaponKillsField(std::string_view weapon_name) {
  return WeaponKillsField(WeaponNumberOf(weapon_name));
}

// The count field of each objective event, and of a team join.
int ObjectiveField(Objective objective);
int TeamJoinField(Team team);  // kCtJoins for CT, kOtherJoins for any other

struct Weapon {
  std::string_view name;  // exactly as the log writes it
  int weight;             // its weight in the skill value
};

// The 24 weapons in their fixed order (usp first, grenade last); weapon number
// n (1..24) is kWeapons[n - 1] and is counted in WeaponKillsField(n).
extern const std::array<Weapon, kWeaponCount> kWeapons;

// The weight in the skill value of a kill with the weapon the log names
// `name` (a name of the table or a server's alias), 0 for any other weapon.
int WeaponWeightOf(std::string_view name);

// The fields of one player file, index 0 upwards (may hold more or fewer than
// 44; FieldAt treats a missing field as empty text).
using Fields = std::vector<std::string>;
const std::string& FieldAt(const Fields& fields, int index);

// C library atoi rules (leading white space, optional sign, digits), except
// that values beyond the 32-bit range saturate instead of overflowing.
int32_t Atoi(std::string_view text);

// The longest id whose player file and player page ("<id>.htm", one byte
// longer than "<id>.db") both fit the 255-byte file name limit.
inline constexpr size_t kMaxPlayerIdBytes = 251;

// True when `id` can name a player file: not empty, no "." at its start (the
// file would be hidden: never listed, no page, left by a deletion that takes
// the ledger), no "/", no NUL byte, at most kMaxPlayerIdBytes long. A log line
// naming any other id is passed over whole.
bool IsValidPlayerId(std::string_view id);

// DatabaseDir + "/" + id + ".db". Throws FileError(kInvalidName) naming that
// path when the id contains "/" or a NUL byte, so nothing is ever touched
// outside the database folder, or when it is longer than kMaxPlayerIdBytes,
// so that every player file has a page. An empty id gives ".db".
std::filesystem::path PlayerFilePath(const std::filesystem::path& database_dir,
                                     std::string_view player_id);

// The reading rule: every LF ends a field and one CR directly before it is
// dropped; whatever follows the last LF is one more field, kept whole.
Fields SplitFields(std::string_view bytes);

// Fields 0..43, each followed by CR LF, nothing before or after.
std::string JoinFields(const Fields& fields);

// Weighted kills x 10 / (deaths + 1) + 10 per hostage touched or killed and
// per bomb planted or defused; 32-bit wrapping arithmetic, divisor 0 taken as 1.
int32_t SkillValue(const Fields& fields);

// Reads a player file by the reading rule (whole file, cut at a NUL byte).
// Throws FileError(kOpen) naming the file, also when it is a symbolic link:
// a link is not a player (it could show any file of the machine on a page).
Fields ReadPlayerFile(const std::filesystem::path& file);

// True when anything exists at `file`, a symbolic link too (a folder or a
// link there makes the later read fail with an error naming it, instead of
// being overwritten).
bool PlayerFileExists(const std::filesystem::path& file);

// The decimal text of Atoi(count) + 1; a count at the 32-bit maximum stays.
std::string IncrementedCount(std::string_view count);

}  // namespace varnokel
