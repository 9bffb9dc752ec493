// varnokel-cli: the window's commands in batch, in the order given, in one
// process (files loaded earlier are in the LogBuffer of a later --update).
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/file_io.h"
#include "base/user_program_dir.h"
#include "db/database.h"
#include "db/database_commands.h"
#include "db/database_lock.h"
#include "db/ledger.h"
#include "db/new_logs.h"
#include "db/process_values.h"
#include "db/update_plan.h"
#include "db/update_run.h"
#include "listen/endpoint.h"
#include "listen/listen_options.h"
#include "listen/listener.h"
#include "log/log_buffer.h"
#include "report/colour_settings.h"
#include "report/report_run.h"

namespace fs = std::filesystem;

namespace varnokel {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitBusy = 3;

// What the actions share: the process-wide values, the status line and the
// colours used by --report and --refresh.
struct Session {
  fs::path program_dir;
  ProcessValues values;
  std::string status;
  std::optional<ColourSet> colours;  // read from color.no on first need
  bool show_progress = false;        // stderr is a terminal
  bool again = false;                // --again: the next --update folds everything
  bool sync = false;                 // --sync
  LockWait wait = LockWait::kWait;   // --no-wait: kNoWait
  ListenOptions listen;              // --allow, --report-every, --secret, --once

  fs::path DatabaseFolder() const { return DatabaseDir(program_dir, values.database_number); }
  DatabaseLock Lock(DatabaseLock::Access access) const {
    return DatabaseLock(DatabaseFolder(), access, wait, [this] {
      if (show_progress)
        std::fprintf(stderr, "warte auf Datenbank %s ...\n", values.database_number.c_str());
    });
  }
  const ColourSet& Colours() {
    if (!colours) colours = ReadColourFile(program_dir.string() + "/color.no");
    return *colours;
  }
};

void Load(Session& s, const std::string& file) {
  LoadLogFile(s.values.log_buffer, file);
  s.status = kStatusLogLoaded;
}

// Loads the logs of a folder that the current database does not hold yet,
// oldest first (the update takes each up to its last finished line).
void LoadNew(Session& s, const std::string& folder) {
  const NewLogs found = FindNewLogs(folder, Ledger::Read(s.DatabaseFolder()));
  for (const fs::path& file : found.files) LoadLogFile(s.values.log_buffer, file);
  if (!found.files.empty()) s.status = kStatusLogLoaded;
  std::fprintf(stderr, "%s: %zu neue Logs geladen, %zu bereits in Datenbank %s\n", folder.c_str(),
               found.files.size(), found.wholly_folded, s.values.database_number.c_str());
}

void Again(Session& s, const std::string&) {
  s.again = true;
}

void PrintSkippedLogs(const UpdatePlan& plan, const std::string& number) {
  for (const PlannedLog& log : plan.logs) {
    const std::string name = log.name.empty() ? std::string("(Text)") : std::string(log.name);
    if (log.WhollyFolded()) {
      std::fprintf(stderr, "%s: bereits in Datenbank %s\n", name.c_str(), number.c_str());
    } else if (log.PartlyFolded()) {
      std::fprintf(stderr, "%s: %zu Zeilen bereits in Datenbank %s, nur Neues wird eingelesen\n",
                   name.c_str(), log.lines_already, number.c_str());
    }
  }
}

void PrintSummary(const UpdateSummary& summary, const std::string& number) {
  std::fprintf(
      stderr,
      "Datenbank %s: %zu Zeilen gelesen, %zu eingelesen, %zu \xC3\xBC"
      "bersprungen "
      "(%zu bereits in der Datenbank, %zu unlesbar); %zu Spieler neu, %zu ge\xC3\xA4ndert\n",
      number.c_str(), summary.lines_read, summary.lines_folded,
      summary.lines_already + summary.lines_unreadable, summary.lines_already,
      summary.lines_unreadable, summary.players_new, summary.players_changed);
}

void Update(Session& s, const std::string&) {
  UpdateOptions options;
  options.again = std::exchange(s.again, false);
  options.sync = s.sync;
  const std::string& number = s.values.database_number;
  if (s.show_progress) {
    options.progress = [&number](size_t done, size_t total) {
      std::fprintf(stderr, "\rDatenbank %s: %zu / %zu Zeilen", number.c_str(), done, total);
      if (done == total) std::fputc('\n', stderr);
    };
  }
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kWrite);
  const UpdatePlan plan =
      PlanUpdate(s.values.log_buffer, Ledger::Read(s.DatabaseFolder()), options.again);
  PrintSkippedLogs(plan, number);
  const UpdateSummary summary =
      DatabaseUpdateRun(lock, s.values.log_buffer, plan, s.values.reference_line, options);
  PrintSummary(summary, number);
  s.status += UpdateDoneStatus(number);
}

void List(Session& s, const std::string&) {
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kRead);
  for (const std::string& entry : ListPlayers(s.DatabaseFolder())) std::cout << entry << '\n';
}

void Show(Session& s, const std::string& entry) {
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kRead);
  PlayerDetails details = ReadPlayerDetails(s.DatabaseFolder(), entry);
  for (size_t i = 0; i < details.size(); ++i) {
    std::cout << kDetailSlots[i].label << '\t' << details[i] << '\n';
  }
}

void Delete(Session& s, const std::string&) {
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kWrite);
  DeleteDatabase(s.DatabaseFolder());
}

void Report(Session& s, const std::string&) {
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kRead);
  ReportRun(s.program_dir, s.DatabaseFolder(), s.Colours());
  s.status += ReportDoneStatus(s.values.database_number);
}

void Refresh(Session& s, const std::string&) {
  RefreshStyleFiles(s.program_dir, s.Colours());
}

void Colours(Session& s, const std::string& file) {
  s.colours = ReadColourFile(file);
}

void Listen(Session& s, const std::string& address) {
  s.listen.listen = *ParseListenAddress(address);  // checked with the other options
  const size_t reports = RunListener(s.program_dir, s.values.database_number, s.listen);
  s.status += UpdateDoneStatus(s.values.database_number);
  if (reports > 0) s.status += ReportDoneStatus(s.values.database_number);
}

void SelectDatabase(Session& s, const std::string& number) {
  s.values.database_number = number;
}

struct Action {
  std::string_view option;
  std::string_view argument;  // empty: the action takes none
  void (*run)(Session&, const std::string&);
  std::string_view help;
};

constexpr std::array<Action, 12> kActions = {{
    {"--database", "N", SelectDatabase, "use database N (1 to 9) from here on; default 1"},
    {"--load", "FILE", Load, "append a log file to the log buffer"},
    {"--load-new", "DIR", LoadNew, "append every *.log of DIR the database does not hold yet"},
    {"--again", "", Again,
     "let the next --update fold everything, even logs folded before and unfinished last lines"},
    {"--update", "", Update, "fold what the database does not hold yet of the log buffer"},
    {"--list", "", List, "print the database's entries, one per line"},
    {"--show", "ENTRY", Show, "print the 26 details of one listed entry"},
    {"--delete", "", Delete, "delete every player file of the database"},
    {"--colours", "FILE", Colours, "take the twelve colours from FILE (color.no format)"},
    {"--report", "", Report, "write the statistics site below <program>/html/"},
    {"--refresh", "", Refresh, "write s_style.css and color.no from the colours"},
    {"--listen", "[ADDR:]PORT", Listen, "receive the log stream on UDP, fold it in until stopped"},
}};

void PrintHelp(std::ostream& out) {
  out << "usage: varnokel-cli [--program-dir DIR] [--no-wait] [--sync] [--database N] ACTION...\n\n"
         "Runs the actions in the order given, in one process, on the program folder\n"
         "DIR (default: the folder of this executable when it holds Datenbanken, else\n"
         "$XDG_DATA_HOME/varnokel, set up on first use). On success the final status\n"
         "line is printed; on a failure the error names the file and the exit status\n"
         "is 1, with the work done before the failure kept. Usage errors exit with 2.\n"
         "A database another program is writing into is waited for; with --no-wait\n"
         "the tool gives up at once with exit status 3. --sync makes every update\n"
         "survive a power loss (slower).\n\n"
         "Actions:\n";
  for (const Action& action : kActions) {
    std::string left = std::string(action.option);
    if (!action.argument.empty()) left.append(" ").append(action.argument);
    out << "  " << left << std::string(left.size() < 16 ? 16 - left.size() : 1, ' ') << action.help
        << '\n';
  }
  out << "  --help          show this text\n"
         "  --version       show the version\n\n"
      << kListenOptionsHelp
      << "\nColours for --report and --refresh come from <program>/color.no unless\n"
         "--colours came before them.\n";
}

int UsageError(const std::string& message) {
  std::cerr << "varnokel-cli: " << message << "\nTry 'varnokel-cli --help'.\n";
  return kExitUsage;
}

struct Step {
  const Action* action;
  std::string argument;
};

int Main(int argc, char** argv) {
  std::optional<fs::path> program_dir;
  bool no_wait = false;
  bool sync = false;
  std::vector<Step> steps;
  ListenOptions listen;
  bool listen_options_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string listen_error;
    if (const size_t used = TakeListenOption({argv + i, argv + argc}, listen, listen_error)) {
      if (!listen_error.empty()) return UsageError(listen_error);
      listen_options_given = true;
      i += static_cast<int>(used) - 1;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      PrintHelp(std::cout);
      return 0;
    }
    if (arg == "--version") {
      std::cout << "varnokel-cli " << VARNOKEL_VERSION << '\n';
      return 0;
    }
    if (arg == "--no-wait") {
      no_wait = true;
      continue;
    }
    if (arg == "--sync") {
      sync = true;
      continue;
    }
    if (arg == "--program-dir") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0')
        return UsageError("--program-dir needs a folder");
      program_dir = argv[++i];
      continue;
    }
    const Action* found = nullptr;
    for (const Action& action : kActions) {
      if (action.option == arg) found = &action;
    }
    if (found == nullptr) return UsageError("unknown option '" + std::string(arg) + "'");
    Step step{found, {}};
    if (!found->argument.empty()) {
      if (i + 1 >= argc) {
        return UsageError(std::string(arg) + " needs " + std::string(found->argument));
      }
      step.argument = argv[++i];
    }
    if (found->run == SelectDatabase && !IsValidDatabaseNumber(step.argument)) {
      return UsageError("database number must be 1 to 9, not '" + step.argument + "'");
    }
    if (found->run == Listen && !ParseListenAddress(step.argument)) {
      return UsageError("--listen needs [ADDR:]PORT, not '" + step.argument + "'");
    }
    steps.push_back(std::move(step));
  }
  if (listen_options_given && std::none_of(steps.begin(), steps.end(),
                                           [](const Step& s) { return s.action->run == Listen; }))
    return UsageError("--allow, --report-every, --secret and --once go with --listen");
  if (std::none_of(steps.begin(), steps.end(), [](const Step& step) {
        return step.action->run != SelectDatabase && step.action->run != Again;
      })) {
    return UsageError("no action given");
  }

  Session session;
  session.show_progress = ::isatty(STDERR_FILENO) == 1;
  session.wait = no_wait ? LockWait::kNoWait : LockWait::kWait;
  session.sync = sync;
  session.listen = std::move(listen);
  try {
    session.program_dir = program_dir ? *program_dir : ChooseProgramFolder().folder;
    for (const Step& step : steps) step.action->run(session, step.argument);
  } catch (const DatabaseBusy& busy) {
    std::cout.flush();
    std::cerr << "varnokel-cli: Datenbank " << session.values.database_number
              << " ist belegt: ein anderes Programm schreibt gerade hinein (" << busy.what()
              << ")\n";
    return kExitBusy;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "varnokel-cli: " << error.what() << '\n';
    return kExitFailure;
  }
  if (!session.status.empty()) std::cout << session.status << '\n';
  std::cout.flush();
  return std::cout ? 0 : kExitFailure;
}

}  // namespace
}  // namespace varnokel

int main(int argc, char** argv) {
  return varnokel::Main(argc, argv);
}
