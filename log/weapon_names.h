// SPDX-License-Identifier: GPL-3.0-or-later
// The 24 weapons a kill line can name, exactly as the log writes them, in
// their fixed order (usp first, grenade last). Weapon number n (1..24) is
// kWeaponNames[n - 1].
#pragma once

#include <array>
#include <string_view>

namespace varnokel {

inline constexpr int kWeaponCount = 24;

inline constexpr std::array<std::string_view, kWeaponCount> kWeaponNames = {
    "usp",     "glock18", "deagle", "p228",  "dualbaretta", "fiveseven", "m3",    "xm1014",
    "mp5navy", "tmp",     "p90",    "mac10", "ump45",       "ak47",      "sg552", "m4a1",
    "aug",     "scout",   "awp",    "g3",    "sg550",       "para",      "knife", "grenade",
};

// The names the servers write for three of the weapons instead of the ones
// above; a kill with either name counts for the same weapon.
struct WeaponAlias {
  std::string_view name;
  int weapon;  // 1..24
};
inline constexpr std::array<WeaponAlias, 3> kWeaponAliases = {{
    {"elite", 5},   // dualbaretta
    {"g3sg1", 20},  // g3
    {"m249", 22},   // para
}};

namespace weapon_lookup {

// Every name a weapon is known by, with its number.
constexpr std::array<WeaponAlias, kWeaponCount + kWeaponAliases.size()> AllNames() {
  std::array<WeaponAlias, kWeaponCount + kWeaponAliases.size()> names{};
  for (size_t i = 0; i < kWeaponNames.size(); ++i)
    names[i] = {kWeaponNames[i], static_cast<int>(i) + 1};
  for (size_t i = 0; i < kWeaponAliases.size(); ++i)
    names[kWeaponNames.size() + i] = kWeaponAliases[i];
  return names;
}
inline constexpr auto kAllNames = AllNames();

// A slot for every weapon name, found from its length and its first and last
// letters (no two of the names share one), so that a name is compared once.
inline constexpr size_t kSlots = 64;

constexpr size_t SlotOf(std::string_view name) {
  if (name.empty()) return 0;
  return (name.size() + 8 * static_cast<unsigned char>(name.front()) +
          2 * static_cast<unsigned char>(name.back())) %
         kSlots;
}

// Index + 1 into kAllNames by slot (0: no name there, -1: two names).
constexpr std::array<int, kSlots> MakeSlots() {
  std::array<int, kSlots> table{};
  for (size_t i = 0; i < kAllNames.size(); ++i) {
    int& slot = table[SlotOf(kAllNames[i].name)];
    slot = slot == 0 ? static_cast<int>(i) + 1 : -1;
  }
  return table;
}
inline constexpr std::array<int, kSlots> kSlotName = MakeSlots();

constexpr bool EverySlotHoldsOneName() {
  for (int name : kSlotName) {
    if (name < 0) return false;
  }
  return true;
}
static_assert(EverySlotHoldsOneName(), "two weapon names share a slot: change SlotOf");

}  // namespace weapon_lookup

// The number (1..24) of the weapon named `name` (its name in the table or an
// alias), 0 for none of them.
constexpr int WeaponNumberOf(std::string_view name) {
  const int slot = weapon_lookup::kSlotName[weapon_lookup::SlotOf(name)];
  if (slot == 0) return 0;
  const WeaponAlias& known = weapon_lookup::kAllNames[static_cast<size_t>(slot - 1)];
  return known.name == name ? known.weapon : 0;
}

}  // namespace varnokel
