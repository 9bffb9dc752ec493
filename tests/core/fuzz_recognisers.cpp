// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: every recogniser and SplitFields on arbitrary bytes, and
// the recognisers against their literal step-by-step definition.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "db/player_file.h"
#include "log/line_events.h"
#include "log/log_lines.h"
#include "log/recognisers.h"
#include "tests/core/literal_recognisers.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

template <typename Fast, typename Literal>
void Same(const Fast& fast, const Literal& literal) {
  Check(fast.has_value() == literal.has_value());
  if (fast) Check(std::string(*fast) == *literal);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  using namespace varnokel;
  varnokel::Fields fields = SplitFields(bytes);
  Check(!fields.empty());
  SkillValue(fields);
  JoinFields(fields);
  ForEachLine(bytes, [](std::string_view line) {
    if (line.size() > 512) return;  // the literal scans are quadratic
    Check(IsKill(line) == literal::IsKill(line));
    Check(IsTeamJoin(line) == literal::IsTeamJoin(line));
    Same(ExtractPlayerId(line), literal::PlayerId(line));
    Same(ExtractPlayerName(line), literal::PlayerName(line));
    Same(ExtractKillerId(line), literal::KillerId(line));
    int weapon = WeaponNumber(line);
    Check(weapon >= 0 && weapon <= kWeaponCount);
    TeamOfJoin(line);
    AnalyseLine(line);
  });
  return 0;
}
