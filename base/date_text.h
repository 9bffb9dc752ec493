// SPDX-License-Identifier: GPL-3.0-or-later
// Dates as the logs write them, "MM/DD/YYYY", turned into text that sorts by
// time.
#pragma once

#include <string>
#include <string_view>

namespace varnokel {

// "YYYYMMDD" of a date written "MM/DD/YYYY", its characters as they stand
// (not checked).
std::string SortableDate(std::string_view month_day_year);

}  // namespace varnokel
