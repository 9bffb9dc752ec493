#include "report/sessions_table.h"

#include <cstdlib>

#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/ranked_player_table.h"

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

namespace {

int32_t PlayTime(const ListedPlayer& player) {
  return player.play_time;
}

const RankedPlayerTable kSessionsTable{Page::kSessionsTable, kRow, PlayTime, SessionTimeText,
                                       "sessions table"};

}  // namespace

void AppendSessionsTablePage(PageOutput& out, const PlayerListing& listing,
                             const ListedTexts& texts) {
  AppendRankedPlayerTablePage(out, listing, texts, kSessionsTable);
}

Fingerprint SessionsTableInput(const PlayerListing& listing, const Fingerprint& names) {
  return RankedPlayerTableInput(listing, names, kSessionsTable);
}

}  // namespace varnokel
