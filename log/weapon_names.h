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

// The number (1..24) of the weapon named `name`, 0 for none of them.
constexpr int WeaponNumberOf(std::string_view name) {
  for (size_t i = 0; i < kWeaponNames.size(); ++i) {
    if (kWeaponNames[i] == name) return static_cast<int>(i) + 1;
  }
  return 0;
}

}  // namespace varnokel
