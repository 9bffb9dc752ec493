// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/actions.h"

#include <cstdio>
#include <iostream>
#include <utility>
#include <vector>

#include "base/file_io.h"
#include "db/database.h"
#include "db/database_commands.h"
#include "db/ledger.h"
#include "db/new_logs.h"
#include "db/update_plan.h"
#include "db/update_run.h"
#include "listen/endpoint.h"
#include "listen/listener.h"
#include "log/log_buffer.h"
#include "report/report_run.h"

namespace fs = std::filesystem;

namespace varnokel {

fs::path CliSession::DatabaseFolder() const {
  return DatabaseDir(program_dir, values.database_number);
}

DatabaseLock CliSession::Lock(DatabaseLock::Access access) const {
  return DatabaseLock(DatabaseFolder(), access, wait, [this] {
    if (show_progress)
      std::fprintf(stderr, "warte auf Datenbank %s ...\n", values.database_number.c_str());
  });
}

SiteTarget CliSession::Site() const {
  return {site.empty() ? DefaultSiteDir(program_dir) : site, wait, [this] {
            if (show_progress)
              std::fprintf(stderr, "warte auf Seitenordner %s ...\n", Site().dir.c_str());
          }};
}

const ColourSet& CliSession::Colours() {
  if (!colours) colours = ReadColourFile(program_dir.string() + "/color.no");
  return *colours;
}

namespace {

void Load(CliSession& s, const std::string& file) {
  LoadLogFile(s.values.log_buffer, file);
  s.status = kStatusLogLoaded;
}

// A log of a folder that could not be read: named, and the run goes on.
void PassOver(CliSession& s, const FileError& error) {
  std::fprintf(stderr,
               "varnokel-cli: %s: nicht lesbar (%s), \xC3\xBC"
               "bersprungen\n",
               error.file().c_str(), error.detail().c_str());
  s.file_passed_over = true;
}

// Loads the logs of a folder that the current database does not hold yet,
// oldest first (the update takes each up to its last finished line). A log that cannot be read
// is named and passed over; the exit status tells of it at the end.
void LoadNew(CliSession& s, const std::string& folder) {
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
void Server(CliSession& s, const std::string& name) {
  s.values.log_buffer.SetServer(name);
}

void Again(CliSession& s, const std::string&) {
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

// The progress line on a terminal, none elsewhere.
UpdateProgress ProgressLine(const CliSession& s) {
  if (!s.show_progress) return {};
  const std::string& number = s.values.database_number;
  return [&number](size_t done, size_t total) {
    std::fprintf(stderr, "\rDatenbank %s: %zu / %zu Zeilen", number.c_str(), done, total);
    if (done == total) std::fputc('\n', stderr);
  };
}

void Update(CliSession& s, const std::string&) {
  UpdateOptions options;
  options.again = std::exchange(s.again, false);
  options.progress = ProgressLine(s);
  const std::string& number = s.values.database_number;
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kWrite);
  const UpdatePlan plan =
      PlanUpdate(s.values.log_buffer, Ledger::Read(s.DatabaseFolder()), options.again);
  PrintSkippedLogs(plan, number);
  const UpdateSummary summary =
      DatabaseUpdateRun(lock, s.values.log_buffer, plan, s.values.reference_line, options);
  PrintSummary(summary, number);
  s.status += UpdateDoneStatus(number);
}

void List(CliSession& s, const std::string&) {
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kRead);
  for (const std::string& entry : ListPlayers(s.DatabaseFolder())) std::cout << entry << '\n';
}

void Show(CliSession& s, const std::string& entry) {
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kRead);
  PlayerDetails details = ReadPlayerDetails(s.DatabaseFolder(), entry);
  for (size_t i = 0; i < details.size(); ++i) {
    std::cout << kDetailSlots[i].label << '\t' << details[i] << '\n';
  }
}

void Delete(CliSession& s, const std::string&) {
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kWrite);
  DeleteDatabase(s.DatabaseFolder());
}

void Report(CliSession& s, const std::string&) {
  const DatabaseLock lock = s.Lock(DatabaseLock::Access::kRead);
  ReportRun(s.Site(), s.DatabaseFolder(), s.Colours());
  s.status += ReportDoneStatus(s.values.database_number);
}

void Refresh(CliSession& s, const std::string&) {
  RefreshStyleFiles(s.program_dir, s.Colours());
}

void Colours(CliSession& s, const std::string& file) {
  s.colours = ReadColourFile(file);
}

void Listen(CliSession& s, const std::string& address) {
  s.listen.listen = *ParseListenAddress(address);  // checked with the other options
  s.listen.site = s.Site().dir;
  const size_t reports = RunListener(s.program_dir, s.values.database_number, s.listen);
  s.status += UpdateDoneStatus(s.values.database_number);
  if (reports > 0) s.status += ReportDoneStatus(s.values.database_number);
}

void SelectDatabase(CliSession& s, const std::string& number) {
  s.values.database_number = number;
}

void SelectSite(CliSession& s, const std::string& folder) {
  s.site = folder;
}

std::string CheckDatabaseNumber(const std::string& number) {
  if (IsValidDatabaseNumber(number)) return {};
  return "die Datenbanknummer muss 1 bis 9 sein, nicht '" + number + "'";
}

std::string CheckSiteFolder(const std::string& folder) {
  return folder.empty() ? "--site braucht einen Ordner" : std::string();
}

std::string CheckListenAddress(const std::string& address) {
  if (ParseListenAddress(address)) return {};
  return "--listen braucht [ADDR:]PORT, nicht '" + address + "'";
}

using Kind = Action::Kind;

}  // namespace

const std::array<Action, kActionCount> kActions = {{
    {"--database", "N", SelectDatabase, "ab hier Datenbank N (1 bis 9); sonst 1", Kind::kSetting,
     CheckDatabaseNumber},
    {"--site", "DIR", SelectSite, "Seiten von --report, --listen danach nach DIR (sonst html/)",
     Kind::kSetting, CheckSiteFolder},
    {"--load", "FILE", Load, "ein Logfile an den Logpuffer anh\xC3\xA4ngen"},
    {"--load-new", "DIR", LoadNew, "jedes neue *.log aus DIR anh\xC3\xA4ngen (nur ganze Zeilen)"},
    {"--server", "NAME", Server,
     "die danach geladenen Logs stammen vom Spielserver NAME (f\xC3\xBCr die Ereignisdatenbank)",
     Kind::kSetting},
    {"--again", "", Again,
     "das n\xC3\xA4"
     "chste --update liest alles ein, auch schon Eingelesenes und unfertige letzte Zeilen",
     Kind::kSetting},
    {"--update", "", Update, "einlesen, was die Datenbank vom Logpuffer noch nicht hat"},
    {"--list", "", List, "die Eintr\xC3\xA4ge der Datenbank ausgeben, einen pro Zeile"},
    {"--show", "ENTRY", Show, "die 26 Angaben eines Eintrags ausgeben"},
    {"--delete", "", Delete, "alle Spielerdateien der Datenbank l\xC3\xB6schen"},
    {"--colours", "FILE", Colours, "die zw\xC3\xB6lf Farben aus FILE nehmen (Format von color.no)"},
    {"--report", "", Report, "die Statistikseiten schreiben"},
    {"--refresh", "", Refresh, "s_style.css und color.no aus den Farben schreiben"},
    {"--listen", "[ADDR:]PORT", Listen,
     "den Log-Strom per UDP empfangen und einlesen bis zum Stopp", Kind::kListen,
     CheckListenAddress},
}};

const Action* FindAction(std::string_view option) {
  for (const Action& action : kActions) {
    if (action.option == option) return &action;
  }
  return nullptr;
}

}  // namespace varnokel
