// SPDX-License-Identifier: GPL-3.0-or-later
// The system's reasons for a failure in German words, as every message of
// the programs is German whatever the locale of the machine.
#pragma once

#include <string>

namespace varnokel {

// The reason for the error number `err` (errno), e.g. "keine Berechtigung";
// empty for 0. A number without a German text is named with the system's
// own words and the number.
std::string DescribeError(int err);

}  // namespace varnokel
