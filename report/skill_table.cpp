#include "report/skill_table.h"

#include "report/page_frame.h"
#include "report/ranked_table.h"

namespace varnokel {

std::string SkillTablePage(const PlayerListing& listing) {
  std::vector<int32_t> skills;
  skills.reserve(listing.size());
  for (const ListedPlayer& player : listing) skills.push_back(player.skill);

  std::string page(PageHead(Page::kSkillTable));
  page.reserve(page.size() + listing.size() * 220 + TablePageFooter().size());
  for (const RankedRow& row : RankedTable(skills)) {
    const ListedPlayer& player = listing[row.index];
    AppendPlayerRowStart(page, row.place, player.id, player.name);
    page += "</a></span></td><td align=right class=color3><span class=text>";
    AppendNumber(page, player.skill);
    page += "</span></td></tr>";
  }
  page += TablePageFooter();
  return page;
}

}  // namespace varnokel
