// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/options.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <utility>

namespace varnokel {

namespace {

using Request = CommandLine::Request;

// Reads the options that are no action (help, version, waiting, program
// folder) at argv[i]; false when argv[i] is none of them.
bool TakeGeneralOption(std::span<char*> args, size_t& i, CommandLine& line) {
  const std::string_view arg = args[i];
  if (arg == "--help" || arg == "-h") {
    line.request = Request::kHelp;
  } else if (arg == "--version") {
    line.request = Request::kVersion;
  } else if (arg == "--no-wait") {
    line.no_wait = true;
  } else if (arg == "--sync") {
    // older scripts give it; every update is durable now
  } else if (arg == "--program-dir") {
    if (i + 1 >= args.size() || args[i + 1][0] == '\0') {
      line.usage_error = "--program-dir braucht einen Ordner";
    } else {
      line.program_dir = args[++i];
    }
  } else {
    return false;
  }
  return true;
}

// Reads the action at argv[i] with its argument into a step.
void TakeAction(std::span<char*> args, size_t& i, CommandLine& line) {
  const std::string_view arg = args[i];
  const Action* found = FindAction(arg);
  if (found == nullptr) {
    line.usage_error = "unbekannte Option '" + std::string(arg) + "'";
    return;
  }
  ActionStep step{found, {}};
  if (!found->argument.empty()) {
    if (i + 1 >= args.size()) {
      line.usage_error = std::string(arg) + " braucht " + std::string(found->argument);
      return;
    }
    step.argument = args[++i];
  }
  if (found->check) line.usage_error = found->check(step.argument);
  if (line.usage_error.empty()) line.steps.push_back(std::move(step));
}

bool HasStep(const CommandLine& line, Action::Kind kind) {
  return std::any_of(line.steps.begin(), line.steps.end(),
                     [kind](const ActionStep& step) { return step.action->kind == kind; });
}

// The mistakes only the whole command line shows.
std::string WholeLineError(const CommandLine& line, bool listen_options_given) {
  if (listen_options_given && !HasStep(line, Action::Kind::kListen)) {
    return "--allow, --report-every, --secret, --secret-file, --compress-after und "
           "--once geh\xC3\xB6ren zu --listen";
  }
  if (!HasStep(line, Action::Kind::kAction) && !HasStep(line, Action::Kind::kListen))
    return "keine Aktion angegeben";
  return {};
}

}  // namespace

CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine line;
  const std::span<char*> args(argv, static_cast<size_t>(argc));
  bool listen_options_given = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (const size_t used =
            TakeListenOption({args.begin() + i, args.end()}, line.listen, line.usage_error)) {
      if (!line.usage_error.empty()) return line;
      listen_options_given = true;
      i += used - 1;
      continue;
    }
    if (!TakeGeneralOption(args, i, line)) TakeAction(args, i, line);
    if (!line.usage_error.empty() || line.request != Request::kRun) return line;
  }
  line.usage_error = WholeLineError(line, listen_options_given);
  return line;
}

void PrintHelp(std::ostream& out) {
  out << "Aufruf: varnokel-cli [--program-dir DIR] [--no-wait]\n"
         "                    [--database N] [--site DIR] AKTION...\n\n"
         "F\xC3\xBChrt die Aktionen in der angegebenen Reihenfolge in einem Lauf aus, im\n"
         "Programmordner DIR (sonst der Ordner dieses Programms, wenn er Datenbanken\n"
         "enth\xC3\xA4lt, sonst $XDG_DATA_HOME/varnokel). Ein fehlender oder leerer Ordner\n"
         "wird aus der Vorlage der Installation eingerichtet. Bei Erfolg erscheint die\n"
         "Statuszeile; bei einem Fehler nennt die Meldung die Datei, der R\xC3\xBC"
         "ckgabewert\n"
         "ist 1, und was davor getan wurde, bleibt. Falsche Aufrufe geben 2 zur\xC3\xBC"
         "ck.\n"
         "Auf eine Datenbank oder einen Seitenordner, in die gerade ein anderes\n"
         "Programm schreibt, wird gewartet; mit --no-wait endet das Programm dann\n"
         "sofort mit 3. Jedes Einlesen ist sicher gegen Stromausfall.\n\n"
         "Aktionen:\n";
  for (const Action& action : kActions) {
    std::string left = std::string(action.option);
    if (!action.argument.empty()) left.append(" ").append(action.argument);
    out << "  " << left << std::string(left.size() < 16 ? 16 - left.size() : 1, ' ') << action.help
        << '\n';
  }
  out << "  --help          diesen Text zeigen\n"
         "  --version       die Version zeigen\n\n"
      << kListenOptionsHelp
      << "\nDie Farben f\xC3\xBCr --report und --refresh kommen aus <Programmordner>/color.no,\n"
         "wenn kein --colours davor steht.\n";
}

}  // namespace varnokel
