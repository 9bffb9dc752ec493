// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of varnokel-cli, read into what the program is to do,
// before any of it is done.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/actions.h"
#include "listen/listen_options.h"

namespace varnokel {

// One action as given, with its argument (empty for one that takes none).
struct ActionStep {
  const Action* action = nullptr;
  std::string argument;
};

struct CommandLine {
  enum class Request { kRun, kHelp, kVersion };

  Request request = Request::kRun;
  std::optional<std::filesystem::path> program_dir;  // --program-dir
  bool no_wait = false;
  std::vector<ActionStep> steps;  // in the order given
  ListenOptions listen;
  std::string usage_error;  // not empty: the command line is wrong, nothing runs
};

// Reads the arguments of main. --help and --version end the reading where
// they stand; the first mistake ends it with `usage_error`.
CommandLine ParseCommandLine(int argc, char** argv);

void PrintHelp(std::ostream& out);

}  // namespace varnokel
