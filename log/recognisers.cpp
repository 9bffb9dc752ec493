#include "log/recognisers.h"

#include <string.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "log/log_line_layout.h"
#include "log/weapon_names.h"

// Every recogniser below is defined by backward scans over the line. The scans
// are done here with rfind and friends; the comments give the position each
// scan ends on, which is what the results depend on (including the one-place
// shift of BackScan when it starts on a "<").

namespace varnokel {

namespace {

using Pos = std::ptrdiff_t;

constexpr std::string_view kKillMarker = "\" killed \"";
constexpr std::string_view kWeaponMarker = "\" with";

Pos Length(std::string_view line) {
  return static_cast<Pos>(line.size());
}

// The character at `p`: positions past the end read as no character (0),
// negative positions read the character at position 0.
char CharAt(std::string_view line, Pos p) {
  if (p < 0) p = 0;
  return p < Length(line) ? line[static_cast<size_t>(p)] : '\0';
}

// The characters from `p`, `count` of them, as far as they exist: a negative
// count or a start at or past the end gives empty text, positions below 0 do
// not exist.
std::string_view Piece(std::string_view line, Pos p, Pos count) {
  if (count <= 0) return {};
  Pos end = p + count;
  if (p < 0) p = 0;
  if (end > Length(line)) end = Length(line);
  if (p >= end) return {};
  return line.substr(static_cast<size_t>(p), static_cast<size_t>(end - p));
}

// The last `n` characters (the whole line when it is shorter).
std::string_view LastChars(std::string_view line, size_t n) {
  return line.size() <= n ? line : line.substr(line.size() - n);
}

// The last `c` at or below position `from` (from past the end: anywhere), or
// npos; memrchr is much faster than a byte loop on long lines.
size_t LastBefore(std::string_view line, char c, size_t from) {
  if (line.empty()) return std::string_view::npos;
  const size_t length = std::min(from, line.size() - 1) + 1;
  const void* found = ::memrchr(line.data(), c, length);
  return found == nullptr ? std::string_view::npos
                          : static_cast<size_t>(static_cast<const char*>(found) - line.data());
}

// The first start at or after `from` of the kill marker, or npos. Looks for
// its "k" with memchr (rarer than the double quotes a plain search stops at).
size_t FindKillMarker(std::string_view line, size_t from) {
  constexpr size_t kK = 2;  // the marker's "k", after a double quote and a space
  size_t at = from + kK;
  while (at < line.size()) {
    const void* k = std::memchr(line.data() + at, 'k', line.size() - at);
    if (k == nullptr) return std::string_view::npos;
    const size_t start = static_cast<size_t>(static_cast<const char*>(k) - line.data()) - kK;
    if (line.substr(start, kKillMarker.size()) == kKillMarker) return start;
    at = start + kK + 1;
  }
  return std::string_view::npos;
}

// The last double quote or "L" at or below `from`, or npos.
size_t LastQuoteOrL(std::string_view line, size_t from) {
  const size_t quote = LastBefore(line, '"', from);
  // An "L" counts only above the quote: look there alone.
  const size_t above = quote == std::string_view::npos ? 0 : quote + 1;
  const size_t end = std::min(from, line.size() - 1) + 1;
  if (above >= end) return quote;
  const void* l = ::memrchr(line.data() + above, 'L', end - above);
  return l == nullptr ? quote : static_cast<size_t>(static_cast<const char*>(l) - line.data());
}

// Backward search for "<" from p: p itself when it holds "<", otherwise one
// below the nearest "<" under p. No "<" there: the scan would never end.
std::optional<Pos> BackScan(std::string_view line, Pos p) {
  if (p < 0) {
    // Every read below position 0 sees position 0 again.
    if (CharAt(line, 0) == '<' && !line.empty()) return p;
    return std::nullopt;
  }
  if (p < Length(line) && line[static_cast<size_t>(p)] == '<') return p;
  const size_t k = LastBefore(line, '<', static_cast<size_t>(p));
  if (k == std::string_view::npos) return std::nullopt;
  return static_cast<Pos>(k) - 1;
}

bool WeaponMarkerBeforeLastWord(std::string_view line) {
  // Two passes back from the end, each to the next double quote; an "L" met
  // on the way rules the line out. A pass that starts on a double quote only
  // steps one place; one that scans ends two places below the quote it found.
  Pos n = Length(line) - 1;
  for (int pass = 0; pass < 2; ++pass) {
    if (CharAt(line, n) != '"') {
      size_t j = n < 0 || line.empty() ? std::string_view::npos
                                       : LastQuoteOrL(line, static_cast<size_t>(n));
      // The kill marker holds two double quotes below every start of a pass,
      // so the scan always finds one.
      if (j == std::string_view::npos || line[j] == 'L') return false;
      n = static_cast<Pos>(j) - 1;
    }
    n -= 1;
  }
  return Piece(line, n - 5, 6) == kWeaponMarker;
}

}  // namespace

std::string_view LastQuotedWord(std::string_view line) {
  if (line.size() < 2 || line.back() != '"') return {};
  const size_t open = LastBefore(line, '"', line.size() - 2);
  if (open == std::string_view::npos) return {};
  return line.substr(open + 1, line.size() - open - 2);
}

bool EndsWith(std::string_view line, std::string_view literal) {
  return line.ends_with(literal);
}

bool IsTeamJoin(std::string_view line) {
  constexpr std::string_view kJoined = "joined team";
  return LastChars(line, 16).substr(0, 11) == kJoined ||
         LastChars(line, 23).substr(0, 11) == kJoined;
}

std::string_view TeamOfJoin(std::string_view line) {
  return EndsWith(line, "\"CT\"") ? "CT" : "TERROR";
}

bool IsKill(std::string_view line) {
  // The two tests are independent; the one near the end is cheaper and rules
  // out most lines, so the marker is looked for only after it.
  return WeaponMarkerBeforeLastWord(line) && FindKillMarker(line, 0) != std::string_view::npos;
}

std::optional<std::string_view> ExtractPlayerId(std::string_view line) {
  std::optional<Pos> a = BackScan(line, Length(line));
  if (!a) return std::nullopt;
  std::optional<Pos> b = BackScan(line, *a);
  if (!b) return std::nullopt;
  return Piece(line, *b + 2, *a - *b - 2);
}

std::optional<std::string_view> ExtractKillerId(std::string_view line) {
  // Forward to the kill marker, starting at position 1: a marker at 1 leaves
  // a at 1, a marker further on leaves a one place behind its start.
  size_t k = FindKillMarker(line, 1);
  if (k == std::string_view::npos) return std::nullopt;
  Pos a = k == 1 ? 1 : static_cast<Pos>(k) + 1;
  // Back to "><": found at a itself leaves a; found below leaves a one place
  // below that "><".
  size_t m = line.rfind("><", static_cast<size_t>(a));
  if (m == std::string_view::npos) return std::nullopt;
  a = static_cast<Pos>(m) == a ? a : static_cast<Pos>(m) - 1;
  std::optional<Pos> b = BackScan(line, a);
  if (!b) return std::nullopt;
  return Piece(line, *b + 2, a - *b - 1);
}

std::optional<std::string_view> ExtractPlayerName(std::string_view line) {
  Pos p = Length(line) - 1;
  for (int pass = 0; pass < 3; ++pass) {
    std::optional<Pos> found = BackScan(line, p);
    if (!found) return std::nullopt;
    p = *found - 1;
  }
  // From the first name's start up to p + 1 (the name ends two places above p).
  constexpr Pos kName = static_cast<Pos>(log_line::kNameStart);
  return Piece(line, kName, p - kName + 2);
}

}  // namespace varnokel
