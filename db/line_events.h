// What one log line asks of the player files, worked out before any file is
// touched, so that a line whose scans would not end is skipped as a whole.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace varnokel {

// The ten player events counted from a line that ends with the quoted name,
// in the order they are tested, with the field each one counts.
struct PlayerEvent {
  std::string_view quoted_name;  // the name enclosed in double quotes
  int field;
};
inline constexpr int kPlayerEventCount = 10;
extern const std::array<PlayerEvent, kPlayerEventCount> kPlayerEvents;

// The recognised events of one line; every view points into the line.
struct LineEvents {
  std::string_view date;  // characters 2 to 11
  std::string_view time;  // characters 15 to 22
  std::string_view id;    // the last player reference's id (the victim of a kill)
  std::string_view name;  // the first player reference's name
  bool entered = false;
  int team_field = 0;  // 4 (CT) or 5 (any other team) for a team join, else 0
  bool kill = false;
  std::string_view killer;
  int weapon = 0;  // 1..24, 0 when the weapon is none of them
  std::array<int, kPlayerEventCount> event_fields{};
  int event_count = 0;
  bool disconnected = false;
};

// Applies every test to `line`. std::nullopt when a scan needed by a passing
// test would never end: the line then has no effect at all.
std::optional<LineEvents> AnalyseLine(std::string_view line);

// Calls `fn(line)` for every line of `text`: a line ends at LF, and one CR
// directly before the LF belongs to the line end. The text after the last LF
// (possibly empty) is the last line. Returns the number of lines.
template <typename Fn>
size_t ForEachLine(std::string_view text, Fn&& fn) {
  size_t count = 0;
  size_t start = 0;
  for (;;) {
    size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      fn(text.substr(start));
      return count + 1;
    }
    size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
    fn(text.substr(start, end - start));
    ++count;
    start = lf + 1;
  }
}

// Line n / 2 of `text`, n being the number of LF characters in it.
std::string_view MiddleLine(std::string_view text);

}  // namespace varnokel
