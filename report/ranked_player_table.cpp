#include "report/ranked_player_table.h"

#include <vector>

#include "report/ranked_table.h"

namespace varnokel {

void AppendRankedPlayerTablePage(PageOutput& out, const PlayerListing& listing,
                                 const ListedTexts& texts, const RankedPlayerTable& table) {
  std::vector<int32_t> values;
  values.reserve(listing.size());
  for (const ListedPlayer& player : listing) values.push_back(table.value(player));

  std::string& page = out.text();
  page += PageHead(table.page);
  const std::vector<RankedRow> rows = RankedTable(values);
  for (size_t k = 0; k < rows.size(); ++k) {
    texts.FetchAhead(k, rows.size(), [&](size_t j) { return rows[j].index; });
    const RankedRow& row = rows[k];
    table.row.Append(page, {NumberText(row.place), texts.Link(row.index),
                            texts.ShownName(row.index), table.value_text(values[row.index])});
    out.Spill();
  }
  page += TablePageFooter();
}

Fingerprint RankedPlayerTableInput(const PlayerListing& listing, const Fingerprint& names,
                                   const RankedPlayerTable& table) {
  PageInput input(table.name);
  input.Input(names);
  for (const ListedPlayer& player : listing) input.Number(table.value(player));
  return input.Value();
}

}  // namespace varnokel
