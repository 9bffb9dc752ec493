#include "report/sessions_table.h"

#include <cstdlib>

#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/ranked_table.h"

namespace varnokel {

namespace {

const PageTemplate kRow(templates::kSessionsTableRow, {"place", "id", "name", "time"});

void AppendTwoDigits(std::string& out, int64_t value) {
  if (value < 10) out += '0';
  out += std::to_string(value);
}

std::string TimeText(int32_t seconds, bool pad_hours) {
  std::string text;
  int64_t t = seconds;
  if (t < 0) {
    text += '-';
    t = -t;
  }
  const int64_t hours = t / 3600;
  const int64_t minutes = (t - hours * 3600) / 60;
  if (pad_hours) {
    AppendTwoDigits(text, hours);
  } else {
    text += std::to_string(hours);
  }
  text += ':';
  AppendTwoDigits(text, minutes);
  text += ':';
  AppendTwoDigits(text, t - hours * 3600 - minutes * 60);
  return text;
}

}  // namespace

std::string SessionTimeText(int32_t seconds) {
  return TimeText(seconds, false);
}

std::string PlayerTimeText(int32_t seconds) {
  return TimeText(seconds, true);
}

void AppendSessionsTablePage(std::string& page, const PlayerListing& listing,
                             const ListedTexts& texts) {
  std::vector<int32_t> times;
  times.reserve(listing.size());
  for (const ListedPlayer& player : listing) times.push_back(player.play_time);

  page += PageHead(Page::kSessionsTable);
  page.reserve(page.size() + listing.size() * 220 + TablePageFooter().size());
  const std::vector<RankedRow> rows = RankedTable(times);
  for (size_t k = 0; k < rows.size(); ++k) {
    texts.FetchAhead(k, rows.size(), [&](size_t j) { return rows[j].index; });
    const RankedRow& row = rows[k];
    kRow.Append(page, {NumberText(row.place), texts.Link(row.index), texts.ShownName(row.index),
                       SessionTimeText(times[row.index])});
  }
  page += TablePageFooter();
}

Fingerprint SessionsTableInput(const PlayerListing& listing, const Fingerprint& names) {
  PageInput input("sessions table");
  input.Input(names);
  for (const ListedPlayer& player : listing) input.Number(player.play_time);
  return input.Value();
}

}  // namespace varnokel
