#include "log/classic_line.h"

#include <cstring>

namespace varnokel {

namespace {

constexpr std::string_view kClassicStart = "L ";
constexpr std::string_view kClassicStampEnd = ": ";
// The newer time stamp; 'd' stands for a digit.
constexpr std::string_view kNewerStamp = "dd/dd/dddd - dd:dd:dd.ddd - ";
constexpr size_t kStampDateAndTime = 21;  // "MM/DD/YYYY - HH:MM:SS"
constexpr std::string_view kClassicStamp = "L dd/dd/dddd - dd:dd:dd: ";

constexpr std::string_view kTokenEnd = ">\"";
constexpr std::string_view kKillMarker = "\" killed \"";
constexpr std::string_view kHeadshotNote = "(headshot";
constexpr std::string_view kDisconnected = "disconnected";
constexpr std::string_view kLeaveReason = "disconnected (reason \"";
constexpr std::string_view kTriggered = "triggered \"";
constexpr std::string_view kAtBombsite = "\" at bombsite ";
constexpr std::string_view kSwitched = "\" switched from team <";
constexpr std::string_view kSwitchedTo = "> to <";
constexpr std::string_view kJoinedTeam = "\" joined team \"";

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// True when `text` begins with `pattern`, in which 'd' stands for a digit.
bool StartsWithPattern(std::string_view text, std::string_view pattern) {
  if (text.size() < pattern.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == 'd' ? !IsDigit(text[i]) : text[i] != pattern[i]) return false;
  }
  return true;
}

// A newer line starts with its time stamp with milliseconds.
bool TimeStamp(std::string_view text, std::string& out) {
  if (!StartsWithPattern(text, kNewerStamp)) return false;
  out.append(kClassicStart).append(text.substr(0, kStampDateAndTime)).append(kClassicStampEnd);
  out.append(text.substr(kNewerStamp.size()));
  return true;
}

// The length of a decimal integer with an optional "-" at `at`, 0 for none.
size_t IntegerLength(std::string_view text, size_t at) {
  size_t end = at < text.size() && text[at] == '-' ? at + 1 : at;
  const size_t digits = end;
  while (end < text.size() && IsDigit(text[end])) ++end;
  return end == digits ? 0 : end - at;
}

// The length of " [x y z]" at `at`, 0 when no position stands there.
size_t PositionLength(std::string_view text, size_t at) {
  if (text.substr(at, 2) != " [") return 0;
  size_t end = at + 2;
  for (int axis = 0; axis < 3; ++axis) {
    if (axis > 0) {
      if (end >= text.size() || text[end] != ' ') return 0;
      ++end;
    }
    const size_t length = IntegerLength(text, end);
    if (length == 0) return 0;
    end += length;
  }
  return end < text.size() && text[end] == ']' ? end + 1 - at : 0;
}

// Player tokens of newer lines carry the player's position after them. Found
// by their "[" (rare in classic lines, and memchr is fast).
bool Positions(std::string_view text, std::string& out) {
  constexpr size_t kBeforeBracket = 3;  // `>" ` in front of the "["
  size_t copied = 0;
  for (size_t at = kBeforeBracket; at < text.size(); ++at) {
    const void* bracket = std::memchr(text.data() + at, '[', text.size() - at);
    if (bracket == nullptr) break;
    at = static_cast<size_t>(static_cast<const char*>(bracket) - text.data());
    const size_t after = at - 1;  // the space in front of the "["
    if (after - kTokenEnd.size() < copied || text.substr(after - kTokenEnd.size(), 2) != kTokenEnd)
      continue;
    const size_t length = PositionLength(text, after);
    if (length == 0) continue;
    out.append(text.substr(copied, after - copied));
    copied = after + length;
    at = copied - 1;
  }
  if (copied == 0) return false;
  out.append(text.substr(copied));
  return true;
}

// Newer kill lines end with notes such as " (headshot)" after the weapon.
bool KillNotes(std::string_view text, std::string& out, bool& headshot) {
  if (!text.ends_with(')') || text.find(kKillMarker) == text.npos) return false;
  std::string_view rest = text;
  bool headshot_note = false;
  while (rest.ends_with(')')) {
    const size_t open = rest.rfind('(');
    if (open == rest.npos || open == 0 || rest[open - 1] != ' ') return false;
    if (rest.find(')', open) != rest.size() - 1) return false;
    headshot_note = headshot_note || rest.substr(open).starts_with(kHeadshotNote);
    rest = rest.substr(0, open - 1);
  }
  if (!rest.ends_with('"')) return false;
  headshot = headshot_note;
  out.append(rest);
  return true;
}

// Newer leave lines give the reason: `disconnected (reason "...")`.
bool LeaveReason(std::string_view text, std::string& out) {
  if (!text.ends_with("\")")) return false;
  const size_t at = text.rfind(kLeaveReason);
  if (at == text.npos) return false;
  out.append(text.substr(0, at + kDisconnected.size()));
  return true;
}

// Newer bomb lines name the site: `triggered "EVENT" at bombsite X`.
bool Bombsite(std::string_view text, std::string& out) {
  const size_t space = text.rfind(' ');
  if (space == text.npos || space + 1 == text.size()) return false;
  if (!text.substr(0, space + 1).ends_with(kAtBombsite)) return false;
  const size_t at = space + 1 - kAtBombsite.size();
  if (text.find('"', space) != text.npos) return false;
  const size_t open = text.rfind('"', at - 1);
  if (open == text.npos || !text.substr(0, open + 1).ends_with(kTriggered)) return false;
  out.append(text.substr(0, at + 1));
  return true;
}

// Newer engines report a team change as a switch between two teams; only a
// switch to CT or TERRORIST is a team join.
bool TeamSwitch(std::string_view text, std::string& out) {
  if (!text.ends_with('>')) return false;
  const size_t at = text.rfind(kSwitched);
  if (at == text.npos) return false;
  const std::string_view teams =
      text.substr(at + kSwitched.size(), text.size() - 1 - at - kSwitched.size());
  const size_t to = teams.find(kSwitchedTo);
  if (to == teams.npos) return false;
  const std::string_view from = teams.substr(0, to);
  const std::string_view joined = teams.substr(to + kSwitchedTo.size());
  if (joined != "CT" && joined != "TERRORIST") return false;
  out.append(text.substr(0, at)).append("<").append(from).append(">");
  out.append(kJoinedTeam).append(joined).append("\"");
  return true;
}

}  // namespace

ClassicLine ReadAsClassicLine(std::string_view line, std::string& storage) {
  ClassicLine classic{line};
  std::string next;
  // Each part reads the text as the parts before left it.
  auto apply = [&](auto part) {
    next.clear();
    if (!part(classic.text, next)) return;
    storage.swap(next);
    classic.text = storage;
  };
  apply(TimeStamp);
  apply(Positions);
  apply([&](std::string_view text, std::string& out) {
    return KillNotes(text, out, classic.headshot);
  });
  apply(LeaveReason);
  apply(Bombsite);
  apply(TeamSwitch);
  return classic;
}

std::string ClassicLineText(std::string_view line) {
  const size_t nul = line.find('\0');
  if (nul != line.npos) line = line.substr(0, nul > 0 && line[nul - 1] == '\r' ? nul - 1 : nul);
  std::string storage;
  return std::string(ReadAsClassicLine(line, storage).text);
}

bool HasLogTimeStamp(std::string_view line) {
  return StartsWithPattern(line, kClassicStamp) || StartsWithPattern(line, kNewerStamp);
}

}  // namespace varnokel
