#include "report/skill_table.h"

#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/ranked_table.h"

namespace varnokel {

namespace {

const PageTemplate kRow(templates::kSkillTableRow, {"place", "id", "name", "skill"});

}  // namespace

std::string SkillTablePage(const PlayerListing& listing) {
  std::vector<int32_t> skills;
  skills.reserve(listing.size());
  for (const ListedPlayer& player : listing) skills.push_back(player.skill);

  std::string page(PageHead(Page::kSkillTable));
  page.reserve(page.size() + listing.size() * 220 + TablePageFooter().size());
  for (const RankedRow& row : RankedTable(skills)) {
    const ListedPlayer& player = listing[row.index];
    kRow.Append(page,
                {NumberText(row.place), player.link, player.shown_name, NumberText(player.skill)});
  }
  page += TablePageFooter();
  return page;
}

Fingerprint SkillTableInput(const PlayerListing& listing) {
  PageInput input("skill table");
  for (const ListedPlayer& player : listing)
    input.Text(player.id).Text(player.name).Number(player.skill);
  return input.Value();
}

}  // namespace varnokel
