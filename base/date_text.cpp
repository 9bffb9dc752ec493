// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/date_text.h"

namespace varnokel {

namespace {

constexpr size_t kMonthAt = 0, kDayAt = 3, kYearAt = 6;
constexpr size_t kMonthDigits = 2, kDayDigits = 2, kYearDigits = 4;

}  // namespace

std::string SortableDate(std::string_view month_day_year) {
  std::string date;
  date.append(month_day_year.substr(kYearAt, kYearDigits))
      .append(month_day_year.substr(kMonthAt, kMonthDigits))
      .append(month_day_year.substr(kDayAt, kDayDigits));
  return date;
}

}  // namespace varnokel
