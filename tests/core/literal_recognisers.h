// SPDX-License-Identifier: GPL-3.0-or-later
// The recognisers' scans done literally, one character at a time, as they are
// defined; a scan that runs past a step limit counts as one that never ends.
// The tests and the fuzz target compare the real recognisers against these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "log/recognisers.h"
#include "log/weapon_names.h"

namespace varnokel::literal {

using Pos = int64_t;

inline Pos Len(std::string_view s) {
  return static_cast<Pos>(s.size());
}

inline char At(std::string_view s, Pos p) {
  if (p < 0) p = 0;
  return p < Len(s) ? s[static_cast<size_t>(p)] : '\0';
}

inline std::string Mid(std::string_view s, Pos p, Pos count) {
  std::string out;
  for (Pos i = p; i < p + count; ++i) {
    if (i >= 0 && i < Len(s)) out += s[static_cast<size_t>(i)];
  }
  return out;
}

inline Pos Limit(std::string_view s) {
  return 3 * Len(s) + 64;
}

inline std::optional<Pos> BackScan(std::string_view s, Pos p) {
  char c = At(s, p);
  if (c == '<') return p;
  for (Pos steps = 0; steps < Limit(s); ++steps) {
    c = At(s, p);
    p -= 1;
    if (c == '<') return p;
  }
  return std::nullopt;
}

inline std::optional<std::string> PlayerId(std::string_view s) {
  auto a = BackScan(s, Len(s));
  if (!a) return std::nullopt;
  auto b = BackScan(s, *a);
  if (!b) return std::nullopt;
  return Mid(s, *b + 2, *a - *b - 2);
}

inline std::optional<std::string> PlayerName(std::string_view s) {
  Pos p = Len(s) - 1;
  for (int i = 0; i < 3; ++i) {
    auto q = BackScan(s, p);
    if (!q) return std::nullopt;
    p = *q - 1;
  }
  return Mid(s, 26, p - 24);
}

inline std::optional<std::string> KillerId(std::string_view s) {
  const std::string marker = "\" killed \"";
  Pos a = 1;
  Pos steps = 0;
  std::string piece = Mid(s, a, 10);
  while (piece != marker) {
    if (++steps > Limit(s)) return std::nullopt;
    piece = Mid(s, a, 10);
    a += 1;
  }
  steps = 0;
  piece = Mid(s, a, 2);
  while (piece != "><") {
    if (++steps > Limit(s)) return std::nullopt;
    piece = Mid(s, a, 2);
    a -= 1;
  }
  auto b = BackScan(s, a);
  if (!b) return std::nullopt;
  return Mid(s, *b + 2, a - *b - 1);
}

inline bool IsKill(std::string_view s) {
  if (s.find("\" killed \"") == std::string_view::npos) return false;
  Pos n = Len(s) - 1;
  for (int pass = 0; pass < 2; ++pass) {
    char c = At(s, n);
    Pos steps = 0;
    while (c != '"') {
      if (++steps > Limit(s)) return false;  // cannot happen with the marker present
      c = At(s, n);
      n -= 1;
      if (c == 'L') return false;
    }
    n -= 1;
  }
  return Mid(s, n - 5, 6) == "\" with";
}

inline std::string Right(std::string_view s, size_t n) {
  return std::string(s.size() <= n ? s : s.substr(s.size() - n));
}

inline bool IsTeamJoin(std::string_view s) {
  return Mid(Right(s, 16), 0, 11) == "joined team" || Mid(Right(s, 23), 0, 11) == "joined team";
}

}  // namespace varnokel::literal

namespace varnokel {

// The weapon a line ends with in double quotes: 1..24, or 0 for none of the
// 24. EndsWith("\"" + name + "\"") for a name without double quotes is the
// same as: the text between the last two double quotes is the name.
inline int WeaponNumber(std::string_view line) {
  return WeaponNumberOf(LastQuotedWord(line));
}

}  // namespace varnokel
