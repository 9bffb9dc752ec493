// SPDX-License-Identifier: GPL-3.0-or-later
// varnokel-cli: the window's commands in batch, in the order given, in one
// process (files loaded earlier are in the LogBuffer of a later --update).
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>

#include "base/user_program_dir.h"
#include "cli/actions.h"
#include "cli/options.h"
#include "db/database_lock.h"
#include "report/site_folder.h"

namespace fs = std::filesystem;

namespace varnokel {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitBusy = 3;

// The folder given with --program-dir, made from the installation's template
// when it is missing or empty.
fs::path ProgramFolderGiven(const fs::path& folder) {
  if (SetUpGivenProgramFolder(folder))
    std::fprintf(stderr, "Programmordner %s aus der Vorlage der Installation eingerichtet\n",
                 folder.c_str());
  return folder;
}

int UsageError(const std::string& message) {
  std::cerr << "varnokel-cli: " << message << "\nHilfe: varnokel-cli --help\n";
  return kExitUsage;
}

// The failure that ended the actions, said on stderr after what they wrote to
// stdout; its exit status.
int Failed(const std::string& message, int exit_status) {
  std::cout.flush();
  std::cerr << "varnokel-cli: " << message << '\n';
  return exit_status;
}

// Runs the steps one after the other in the program folder; the exit status.
int RunSteps(CommandLine& line) {
  CliSession session;
  session.show_progress = ::isatty(STDERR_FILENO) == 1;
  session.wait = line.no_wait ? LockWait::kNoWait : LockWait::kWait;
  session.listen = std::move(line.listen);
  try {
    session.program_dir =
        line.program_dir ? ProgramFolderGiven(*line.program_dir) : ChooseProgramFolder().folder;
    for (const ActionStep& step : line.steps) step.action->run(session, step.argument);
  } catch (const DatabaseBusy&) {
    return Failed("Datenbank " + session.values.database_number +
                      " ist belegt: ein anderes Programm schreibt gerade hinein",
                  kExitBusy);
  } catch (const SiteBusy& busy) {
    return Failed(busy.what(), kExitBusy);
  } catch (const std::exception& error) {
    return Failed(error.what(), kExitFailure);
  }
  if (!session.status.empty()) std::cout << session.status << '\n';
  std::cout.flush();
  return std::cout && !session.file_passed_over ? 0 : kExitFailure;
}

int Main(int argc, char** argv) {
  CommandLine line = ParseCommandLine(argc, argv);
  if (!line.usage_error.empty()) return UsageError(line.usage_error);
  switch (line.request) {
    case CommandLine::Request::kHelp:
      PrintHelp(std::cout);
      return 0;
    case CommandLine::Request::kVersion:
      std::cout << "varnokel-cli " << VARNOKEL_VERSION << '\n';
      return 0;
    case CommandLine::Request::kRun:
      break;
  }
  return RunSteps(line);
}

}  // namespace
}  // namespace varnokel

int main(int argc, char** argv) {
  return varnokel::Main(argc, argv);
}
