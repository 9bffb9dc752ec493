#include "report/player_pages.h"

#include <algorithm>
#include <array>
#include <vector>

#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/page_text.h"
#include "report/ranked_table.h"
#include "report/sessions_table.h"

namespace varnokel {

namespace {

const PageTemplate kTitleSkillAndWeaponHead(templates::kPlayerTitleSkillAndWeaponHead,
                                            {"name", "skill"});
const PageTemplate kWeaponRow(templates::kPlayerWeaponRow, {"weapon", "share", "rest", "kills"});

// The counters of the behaviour rows below the weapon table, by their slot in
// player_behaviour_rows.htm; each shows its field's text as read.
struct CounterSlot {
  std::string_view slot;
  int field;
};
constexpr CounterSlot kCounterSlots[] = {{"kills", field::kKills},
                                         {"deaths", field::kDeaths},
                                         {"other_joins", field::kOtherJoins},
                                         {"ct_joins", field::kCtJoins},
                                         {"hostage_touched", field::kHostageTouched},
                                         {"hostage_killed", field::kHostageKilled},
                                         {"hostage_rescued", field::kHostageRescued},
                                         {"bomb_spawned", field::kBombSpawned},
                                         {"bomb_planted", field::kBombPlanted},
                                         {"bomb_defused", field::kBombDefused},
                                         {"defuse_with_kit", field::kDefuseWithKit},
                                         {"defuse_without_kit", field::kDefuseWithoutKit},
                                         {"bomb_picked_up", field::kBombPickedUp},
                                         {"bomb_dropped", field::kBombDropped}};
constexpr size_t kBehaviourValues = 1 + std::size(kCounterSlots);  // the play time first

const PageTemplate& BehaviourRows() {
  static const PageTemplate rows = [] {
    std::vector<std::string_view> slots = {"play_time"};
    for (const CounterSlot& counter : kCounterSlots) slots.push_back(counter.slot);
    return PageTemplate(templates::kPlayerBehaviourRows, slots);
  }();
  return rows;
}

// All 24 weapons, most kills first: name, share bar and kills text.
void AppendWeaponRows(std::string& page, const ListedPlayer& player, const Fields& fields) {
  // Shares are cut from 100000 / kills first, as on the weapon pages; a
  // player without kills divides by 1.
  const int32_t kills = Atoi(FieldAt(fields, field::kKills));
  const int32_t total = kills == 0 ? 1 : kills;
  for (const RankedRow& row : RankedTable(player.weapon_kills)) {
    const int w = static_cast<int>(row.index);
    const int32_t share = SharePercent(player.weapon_kills[w], total);
    kWeaponRow.Append(page, {kWeapons[w].name, NumberText(share), NumberText(WrapSub(100, share)),
                             PageText(FieldAt(fields, WeaponKillsField(w + 1)))});
  }
}

void AppendBehaviourRows(std::string& page, const Fields& fields) {
  std::array<std::string, kBehaviourValues> texts;
  texts[0] = PlayerTimeText(Atoi(FieldAt(fields, field::kPlayTime)));
  for (size_t k = 0; k < std::size(kCounterSlots); ++k)
    texts[k + 1] = PageText(FieldAt(fields, kCounterSlots[k].field));
  std::array<std::string_view, kBehaviourValues> values;
  std::copy(texts.begin(), texts.end(), values.begin());
  BehaviourRows().Append(page, values);
}

}  // namespace

std::string PlayerPage(const ListedPlayer& player) {
  const Fields fields = SplitFields(player.bytes);
  std::string page(PageHead(Page::kPlayer));
  page.reserve(24000);
  kTitleSkillAndWeaponHead.Append(
      page, {PageText(FieldAt(fields, field::kName)), NumberText(SkillValue(fields))});
  AppendWeaponRows(page, player, fields);
  AppendBehaviourRows(page, fields);
  page += PlayerPageFooter();
  return page;
}

bool IsReservedPageStem(std::string_view stem) {
  return stem == "st" || stem == "se" || stem == "sp" || stem == "wt";
}

Fingerprint PlayerPageInput(const ListedPlayer& player) {
  return PageInput("player page").Text(player.bytes).Value();
}

std::string PlayerPageName(const ListedPlayer& player) {
  return player.stem + ".htm";
}

}  // namespace varnokel
