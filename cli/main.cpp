// SPDX-License-Identifier: GPL-3.0-or-later
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
  bool file_passed_over = false;     // a file was passed over: exit 1 after the last action
  LockWait wait = LockWait::kWait;   // --no-wait: kNoWait
  ListenOptions listen;              // the options of listen_options.h
  fs::path site;                     // --site; empty: <program>/html

  fs::path DatabaseFolder() const { return DatabaseDir(program_dir, values.database_number); }
  DatabaseLock Lock(DatabaseLock::Access access) const {
    return DatabaseLock(DatabaseFolder(), access, wait, [this] {
      if (show_progress)
        std::fprintf(stderr, "warte auf Datenbank %s ...\n", values.database_number.c_str());
    });
  }
  SiteTarget Site() const {
    return {site.empty() ? DefaultSiteDir(program_dir) : site, wait, [this] {
              if (show_progress)
                std::fprintf(stderr, "warte auf Seitenordner %s ...\n", Site().dir.c_str());
            }};
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

// A log of a folder that could not be read: named, and the run goes on.
void PassOver(Session& s, const FileError& error) {
  std::fprintf(stderr,
               "varnokel-cli: %s: nicht lesbar (%s), \xC3\xBC"
               "bersprungen\n",
               error.file().c_str(), error.detail().c_str());
  s.file_passed_over = true;
}

// Loads the logs of a folder that the current database does not hold yet,
// oldest first (the update takes each up to its last finished line). A log that cannot be read
// is named and passed over; the exit status tells of it at the end.
void LoadNew(Session& s, const std::string& folder) {
  const NewLogs found = FindNewLogs(folder, Ledger::Read(s.DatabaseFolder()));
  for (const FileError& error : found.unreadable) PassOver(s, error);
  for (const fs::path& file : found.not_logs) {
    std::fprintf(stderr,
                 "varnokel-cli: %s: kein Log (keine Zeile mit Zeitstempel), wird trotzdem "
                 "geladen\n",
                 file.c_str());
  }
  size_t loaded = 0;
  for (const fs::path& file : found.files) {
    try {
      LoadLogFile(s.values.log_buffer, file);
      ++loaded;
    } catch (const FileError& error) {
      PassOver(s, error);
    }
  }
  if (loaded > 0) s.status = kStatusLogLoaded;
  std::fprintf(stderr, "%s: %zu neue Logs geladen, %zu bereits in Datenbank %s\n", folder.c_str(),
               loaded, found.wholly_folded, s.values.database_number.c_str());
}

// Labels the logs loaded after it with the game server that wrote them.
void Server(Session& s, const std::string& name) {
  s.values.log_buffer.SetServer(name);
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
  ReportRun(s.Site(), s.DatabaseFolder(), s.Colours());
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
  s.listen.site = s.Site().dir;
  const size_t reports = RunListener(s.program_dir, s.values.database_number, s.listen);
  s.status += UpdateDoneStatus(s.values.database_number);
  if (reports > 0) s.status += ReportDoneStatus(s.values.database_number);
}

void SelectDatabase(Session& s, const std::string& number) {
  s.values.database_number = number;
}

void SelectSite(Session& s, const std::string& folder) {
  s.site = folder;
}

struct Action {
  std::string_view option;
  std::string_view argument;  // empty: the action takes none
  void (*run)(Session&, const std::string&);
  std::string_view help;
};

constexpr std::array<Action, 14> kActions = {{
    {"--database", "N", SelectDatabase, "ab hier Datenbank N (1 bis 9); sonst 1"},
    {"--site", "DIR", SelectSite, "Seiten von --report, --listen danach nach DIR (sonst html/)"},
    {"--load", "FILE", Load, "ein Logfile an den Logpuffer anh\xC3\xA4ngen"},
    {"--load-new", "DIR", LoadNew, "jedes neue *.log aus DIR anh\xC3\xA4ngen (nur ganze Zeilen)"},
    {"--server", "NAME", Server,
     "die danach geladenen Logs stammen vom Spielserver NAME (f\xC3\xBCr die Ereignisdatenbank)"},
    {"--again", "", Again,
     "das n\xC3\xA4"
     "chste --update liest alles ein, auch schon Eingelesenes und unfertige letzte Zeilen"},
    {"--update", "", Update, "einlesen, was die Datenbank vom Logpuffer noch nicht hat"},
    {"--list", "", List, "die Eintr\xC3\xA4ge der Datenbank ausgeben, einen pro Zeile"},
    {"--show", "ENTRY", Show, "die 26 Angaben eines Eintrags ausgeben"},
    {"--delete", "", Delete, "alle Spielerdateien der Datenbank l\xC3\xB6schen"},
    {"--colours", "FILE", Colours, "die zw\xC3\xB6lf Farben aus FILE nehmen (Format von color.no)"},
    {"--report", "", Report, "die Statistikseiten schreiben"},
    {"--refresh", "", Refresh, "s_style.css und color.no aus den Farben schreiben"},
    {"--listen", "[ADDR:]PORT", Listen,
     "den Log-Strom per UDP empfangen und einlesen bis zum Stopp"},
}};

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

struct Step {
  const Action* action;
  std::string argument;
};

int Main(int argc, char** argv) {
  std::optional<fs::path> program_dir;
  bool no_wait = false;
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
    if (arg == "--sync") continue;  // older scripts give it; every update is durable now
    if (arg == "--program-dir") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0')
        return UsageError("--program-dir braucht einen Ordner");
      program_dir = argv[++i];
      continue;
    }
    const Action* found = nullptr;
    for (const Action& action : kActions) {
      if (action.option == arg) found = &action;
    }
    if (found == nullptr) return UsageError("unbekannte Option '" + std::string(arg) + "'");
    Step step{found, {}};
    if (!found->argument.empty()) {
      if (i + 1 >= argc) {
        return UsageError(std::string(arg) + " braucht " + std::string(found->argument));
      }
      step.argument = argv[++i];
    }
    if (found->run == SelectDatabase && !IsValidDatabaseNumber(step.argument)) {
      return UsageError("die Datenbanknummer muss 1 bis 9 sein, nicht '" + step.argument + "'");
    }
    if (found->run == SelectSite && step.argument.empty())
      return UsageError("--site braucht einen Ordner");
    if (found->run == Listen && !ParseListenAddress(step.argument)) {
      return UsageError("--listen braucht [ADDR:]PORT, nicht '" + step.argument + "'");
    }
    steps.push_back(std::move(step));
  }
  if (listen_options_given && std::none_of(steps.begin(), steps.end(),
                                           [](const Step& s) { return s.action->run == Listen; }))
    return UsageError(
        "--allow, --report-every, --secret, --secret-file, --compress-after und "
        "--once geh\xC3\xB6ren zu --listen");
  if (std::none_of(steps.begin(), steps.end(), [](const Step& step) {
        return step.action->run != SelectDatabase && step.action->run != SelectSite &&
               step.action->run != Again && step.action->run != Server;
      })) {
    return UsageError("keine Aktion angegeben");
  }

  Session session;
  session.show_progress = ::isatty(STDERR_FILENO) == 1;
  session.wait = no_wait ? LockWait::kNoWait : LockWait::kWait;
  session.listen = std::move(listen);
  try {
    session.program_dir =
        program_dir ? ProgramFolderGiven(*program_dir) : ChooseProgramFolder().folder;
    for (const Step& step : steps) step.action->run(session, step.argument);
  } catch (const DatabaseBusy& busy) {
    std::cout.flush();
    std::cerr << "varnokel-cli: Datenbank " << session.values.database_number
              << " ist belegt: ein anderes Programm schreibt gerade hinein\n";
    return kExitBusy;
  } catch (const SiteBusy& busy) {
    std::cout.flush();
    std::cerr << "varnokel-cli: " << busy.what() << '\n';
    return kExitBusy;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "varnokel-cli: " << error.what() << '\n';
    return kExitFailure;
  }
  if (!session.status.empty()) std::cout << session.status << '\n';
  std::cout.flush();
  return std::cout && !session.file_passed_over ? 0 : kExitFailure;
}

}  // namespace
}  // namespace varnokel

int main(int argc, char** argv) {
  return varnokel::Main(argc, argv);
}
