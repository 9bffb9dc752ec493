#include "report/skill_table.h"

#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/ranked_table.h"

namespace varnokel {

namespace {

const PageTemplate kRow(templates::kSkillTableRow, {"place", "id", "name", "skill"});

}  // namespace

void AppendSkillTablePage(std::string& page, const PlayerListing& listing,
                          const ListedTexts& texts) {
  std::vector<int32_t> skills;
  skills.reserve(listing.size());
  for (const ListedPlayer& player : listing) skills.push_back(player.skill);

  page += PageHead(Page::kSkillTable);
  page.reserve(page.size() + listing.size() * 220 + TablePageFooter().size());
  const std::vector<RankedRow> rows = RankedTable(skills);
  for (size_t k = 0; k < rows.size(); ++k) {
    texts.FetchAhead(k, rows.size(), [&](size_t j) { return rows[j].index; });
    const RankedRow& row = rows[k];
    kRow.Append(page, {NumberText(row.place), texts.Link(row.index), texts.ShownName(row.index),
                       NumberText(skills[row.index])});
  }
  page += TablePageFooter();
}

Fingerprint SkillTableInput(const PlayerListing& listing, const Fingerprint& names) {
  PageInput input("skill table");
  input.Input(names);
  for (const ListedPlayer& player : listing) input.Number(player.skill);
  return input.Value();
}

}  // namespace varnokel
