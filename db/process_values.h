// SPDX-License-Identifier: GPL-3.0-or-later
// The three values that live from process start to exit and are never saved.
#pragma once

#include <string>

#include "log/log_buffer.h"

namespace varnokel {

struct ProcessValues {
  LogBuffer log_buffer;               // every log loaded since start
  std::string database_number = "1";  // the selected database, "1" to "9"
  std::string reference_line;         // line n / 2 of the last update run
};

}  // namespace varnokel
