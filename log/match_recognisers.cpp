#include "log/match_recognisers.h"

#include "log/line_events.h"
#include "log/log_line_layout.h"

namespace varnokel {

namespace {

constexpr std::string_view kLoadingMap = "Loading map \"";
constexpr std::string_view kStartedMap = "Started map \"";
static_assert(kLoadingMap.size() == kStartedMap.size());
constexpr std::string_view kSuicideMarker = ">\" committed suicide with \"";
constexpr std::string_view kKillMarker = "\" killed \"";
constexpr std::string_view kWeaponMarker = "\" with \"";

// The TEAM of the reference whose closing `>"` starts at `close`: the text
// between the "<" before it and it.
std::optional<std::string_view> TeamBefore(std::string_view line, size_t close) {
  if (close == 0 || close == std::string_view::npos || line[close] != '>') return std::nullopt;
  const size_t open = line.rfind('<', close);
  if (open == std::string_view::npos) return std::nullopt;
  return line.substr(open + 1, close - open - 1);
}

}  // namespace

std::optional<MapLine> RecogniseMapLine(std::string_view line) {
  const std::string_view event = log_line::Piece(line, log_line::kFirstPlayerStart, line.size());
  MapLine found;
  if (event.starts_with(kStartedMap)) {
    found.started = true;
  } else if (!event.starts_with(kLoadingMap)) {
    return std::nullopt;
  }
  const std::string_view rest = event.substr(kLoadingMap.size());  // both prefixes are as long
  const size_t quote = rest.find('"');
  if (quote == std::string_view::npos) return std::nullopt;
  found.map = rest.substr(0, quote);
  return found;
}

std::string_view LastMapBefore(std::string_view text, size_t end) {
  constexpr std::string_view kMapMark = "map \"";
  for (std::string_view before = text.substr(0, end);;) {
    const size_t at = before.rfind(kMapMark);
    if (at == std::string_view::npos) return {};
    const size_t lf = before.rfind('\n', at);
    const size_t start = lf == std::string_view::npos ? 0 : lf + 1;
    std::string_view line = before.substr(start, before.find('\n', at) - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (const std::optional<MapLine> map = RecogniseMapLine(line)) return map->map;
    before = before.substr(0, at);
  }
}

bool IsSuicide(std::string_view line) {
  if (line.empty() || line.back() != '"') return false;
  const size_t marker = line.rfind(kSuicideMarker);
  if (marker == std::string_view::npos) return false;
  // The weapon runs from the marker to the closing quote, without a quote.
  const size_t weapon = marker + kSuicideMarker.size();
  if (line.find('"', weapon) != line.size() - 1) return false;
  return !IsChatLine(line);
}

std::optional<KillTeams> TeamsOfKill(std::string_view line) {
  const size_t kill = line.find(kKillMarker, 1);
  const size_t with = line.rfind(kWeaponMarker);
  if (kill == std::string_view::npos || with == std::string_view::npos || with <= kill)
    return std::nullopt;
  const std::optional<std::string_view> killer = TeamBefore(line, kill - 1);
  const std::optional<std::string_view> victim = TeamBefore(line, with - 1);
  if (!killer || !victim) return std::nullopt;
  return KillTeams{*killer, *victim};
}

}  // namespace varnokel
