#include "listen/day_calendar.h"

#include <charconv>

namespace varnokel {

namespace {

constexpr int64_t kDaysPerEra = 146097;  // 400 years of the Gregorian calendar
constexpr int64_t kYearsPerEra = 400;
constexpr int64_t kEpochShift = 719468;  // days from 0000-03-01 to 1970-01-01
constexpr int64_t kDaysCurrent = 1;      // either side of today

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<int> Digits(std::string_view text) {
  int value = 0;
  const auto [end, failed] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (failed != std::errc() || end != text.data() + text.size() || text.empty()) return {};
  return value;
}

}  // namespace

std::optional<int64_t> DayNumber(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return {};
  // Counted in years that begin in March, so that the leap day ends a year.
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - (kYearsPerEra - 1)) / kYearsPerEra;
  const int64_t year_of_era = y - era * kYearsPerEra;
  const int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * kDaysPerEra + day_of_era - kEpochShift;
}

std::optional<int64_t> DayNumberOfDate(std::string_view month_day_year) {
  if (month_day_year.size() != 10 || month_day_year[2] != '/' || month_day_year[5] != '/')
    return {};
  const std::optional<int> month = Digits(month_day_year.substr(0, 2));
  const std::optional<int> day = Digits(month_day_year.substr(3, 2));
  const std::optional<int> year = Digits(month_day_year.substr(6, 4));
  if (!month || !day || !year) return {};
  return DayNumber(*year, *month, *day);
}

int64_t LocalDayNumber(std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  return *DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

bool IsCurrentDay(int64_t day, int64_t today) {
  return day >= today - kDaysCurrent && day <= today + kDaysCurrent;
}

}  // namespace varnokel
