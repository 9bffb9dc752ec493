#include "report/site_history.h"

#include <chrono>
#include <cstdio>

namespace varnokel {

namespace {

constexpr std::string_view kBotId = "BOT";

bool TwoDigits(std::string_view text, size_t at, unsigned& value) {
  if (text[at] < '0' || text[at] > '9' || text[at + 1] < '0' || text[at + 1] > '9') return false;
  value = static_cast<unsigned>((text[at] - '0') * 10 + (text[at + 1] - '0'));
  return true;
}

}  // namespace

bool ParseDay(std::string_view text, DayNumber& day) {
  // YYYY-MM-DD
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  unsigned high = 0, low = 0, month = 0, mday = 0;
  if (!TwoDigits(text, 0, high) || !TwoDigits(text, 2, low) || !TwoDigits(text, 5, month) ||
      !TwoDigits(text, 8, mday))
    return false;
  const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(high * 100 + low)),
                                         std::chrono::month(month), std::chrono::day(mday)};
  if (!date.ok()) return false;
  day = std::chrono::sys_days(date).time_since_epoch().count();
  return true;
}

namespace {

// Writes `value` as `width` decimal digits, zeros in front, ending at `end`.
void PutDigits(char* end, unsigned value, int width) {
  for (int k = 0; k < width; ++k, value /= 10) *--end = static_cast<char>('0' + value % 10);
}

constexpr int kLargestYear = 9999;

}  // namespace

std::string DayText(DayNumber day) {
  const std::chrono::year_month_day date{std::chrono::sys_days(std::chrono::days(day))};
  const int year = static_cast<int>(date.year());
  if (year < 0 || year > kLargestYear) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", year, static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()));
    return text;
  }
  std::string text = "0000-00-00";
  PutDigits(text.data() + 4, static_cast<unsigned>(year), 4);
  PutDigits(text.data() + 7, static_cast<unsigned>(date.month()), 2);
  PutDigits(text.data() + 10, static_cast<unsigned>(date.day()), 2);
  return text;
}

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// 0000-01-01 00:00:00 and 9999-12-31 23:59:59 in seconds since 1970.
constexpr int64_t kFirstShownMoment = -62167219200;
constexpr int64_t kLastShownMoment = 253402300799;

}  // namespace

bool IsShownMoment(int64_t moment) {
  return moment >= kFirstShownMoment && moment <= kLastShownMoment;
}

std::string MomentText(int64_t moment) {
  if (!IsShownMoment(moment)) return {};
  const int64_t day = (moment >= 0 ? moment : moment - (kSecondsPerDay - 1)) / kSecondsPerDay;
  const auto second = static_cast<unsigned>(moment - day * kSecondsPerDay);
  std::string text = DayText(static_cast<DayNumber>(day)) + " 00:00:00";
  PutDigits(text.data() + 13, second / 3600, 2);
  PutDigits(text.data() + 16, second / 60 % 60, 2);
  PutDigits(text.data() + 19, second % 60, 2);
  return text;
}

std::string GermanDayText(DayNumber day) {
  const std::string text = DayText(day);
  std::string german;
  german.reserve(text.size());
  german.append(text, 8, 2).append(1, '.').append(text, 5, 2).append(1, '.').append(text, 0, 4);
  return german;
}

uint32_t SiteHistoryBuilder::IndexOf(std::vector<std::string>& texts, Numbers& numbers,
                                     std::string_view text) {
  const auto [found, added] = numbers.try_emplace(std::string(text), uint32_t(texts.size()));
  if (added) texts.emplace_back(text);
  return found->second;
}

uint32_t SiteHistoryBuilder::Player(std::string_view id) {
  return IndexOf(history_.players, player_numbers_, id);
}

uint32_t SiteHistoryBuilder::Map(std::string_view name) {
  return IndexOf(history_.maps, map_numbers_, name);
}

uint32_t SiteHistoryBuilder::Server(std::string_view name) {
  return IndexOf(history_.servers, server_numbers_, name);
}

SiteHistory SiteHistoryBuilder::Take() {
  player_numbers_.clear();
  map_numbers_.clear();
  server_numbers_.clear();
  return std::move(history_);
}

bool IsBotId(std::string_view id) {
  return id == kBotId;
}

}  // namespace varnokel
