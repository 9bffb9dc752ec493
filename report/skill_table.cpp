#include "report/skill_table.h"

#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/ranked_player_table.h"

namespace varnokel {

namespace {

const PageTemplate kRow(templates::kSkillTableRow, {"place", "id", "name", "skill"});

int32_t Skill(const ListedPlayer& player) {
  return player.skill;
}

const RankedPlayerTable kSkillTable{Page::kSkillTable, kRow, Skill, NumberText, "skill table"};

}  // namespace

void AppendSkillTablePage(PageOutput& out, const PlayerListing& listing, const ListedTexts& texts) {
  AppendRankedPlayerTablePage(out, listing, texts, kSkillTable);
}

Fingerprint SkillTableInput(const PlayerListing& listing, const Fingerprint& names) {
  return RankedPlayerTableInput(listing, names, kSkillTable);
}

}  // namespace varnokel
