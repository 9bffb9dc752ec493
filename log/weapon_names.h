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

namespace weapon_lookup {

// A slot for every weapon name, found from its length and its first and last
// letters (no two of the 24 names share one), so that a name is compared once.
inline constexpr size_t kSlots = 64;

constexpr size_t SlotOf(std::string_view name) {
  if (name.empty()) return 0;
  return (name.size() + 3 * (static_cast<unsigned char>(name.front()) +
                             static_cast<unsigned char>(name.back()))) %
         kSlots;
}

// Weapon number + 1 by slot (0: no weapon there).
constexpr std::array<int, kSlots> MakeSlots() {
  std::array<int, kSlots> table{};
  for (size_t i = 0; i < kWeaponNames.size(); ++i) {
    int& slot = table[SlotOf(kWeaponNames[i])];
    slot = slot == 0 ? static_cast<int>(i) + 1 : -1;  // -1 marks two names in one slot
  }
  return table;
}
inline constexpr std::array<int, kSlots> kSlotWeapon = MakeSlots();

constexpr bool EverySlotHoldsOneName() {
  for (int weapon : kSlotWeapon) {
    if (weapon < 0) return false;
  }
  return true;
}
static_assert(EverySlotHoldsOneName(), "two weapon names share a slot: change SlotOf");

}  // namespace weapon_lookup

// The number (1..24) of the weapon named `name`, 0 for none of them.
constexpr int WeaponNumberOf(std::string_view name) {
  const int weapon = weapon_lookup::kSlotWeapon[weapon_lookup::SlotOf(name)];
  return weapon != 0 && kWeaponNames[static_cast<size_t>(weapon - 1)] == name ? weapon : 0;
}

}  // namespace varnokel
