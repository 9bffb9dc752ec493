// SPDX-License-Identifier: GPL-3.0-or-later
// The listener's calendar: which days a streamed line may claim. A line goes
// into the day file of its date only when that date lies within one day of
// the listener's own local date (either side, for time zones and midnight);
// so a sender never has more than three day files in use.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

namespace varnokel {

// Days since 1970-01-01 of a calendar date; nullopt for a month or day the
// calendar does not have (13/01, 02/30).
std::optional<int64_t> DayNumber(int year, int month, int day);

// The same for a date written MM/DD/YYYY (nullopt when not digits).
std::optional<int64_t> DayNumberOfDate(std::string_view month_day_year);

// The local date at `now` as a day number.
int64_t LocalDayNumber(std::time_t now);

// The day files of `day` may be written on `today`.
bool IsCurrentDay(int64_t day, int64_t today);

}  // namespace varnokel
