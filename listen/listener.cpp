#include "listen/listener.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <future>
#include <mutex>
#include <optional>
#include <string>

#include "base/file_io.h"
#include "db/database.h"
#include "db/database_lock.h"
#include "db/ledger.h"
#include "db/update_run.h"
#include "listen/day_calendar.h"
#include "listen/day_file_compression.h"
#include "listen/day_file_folder.h"
#include "listen/day_files.h"
#include "listen/fold_times.h"
#include "listen/listen_secret.h"
#include "listen/log_receiver.h"
#include "listen/sender_filter.h"
#include "report/colour_settings.h"
#include "report/report_run.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kFoldEvery = std::chrono::seconds(1);
constexpr auto kForgetDayFileAfter = std::chrono::minutes(10);
constexpr auto kForgetEvery = std::chrono::minutes(1);
constexpr auto kCompressEvery = std::chrono::hours(1);
// A site written for new players waits this many times as long as the last
// one took: where pages are many, writing them takes no more than a fifth of
// the time from folding.
constexpr int kReportRestFactor = 4;
// The site is written beside the folds at this niceness (threads of its own).
constexpr int kReportNiceness = 10;
constexpr std::string_view kColourFileName = "color.no";
constexpr int kBytesPerMegabyte = 1 << 20;

// SIGINT and SIGTERM, blocked in every thread started after this (so the
// receiving thread never takes them) and read here instead.
class StopSignals {
 public:
  StopSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set_, &old_);
    fd_ = ::signalfd(-1, &set_, SFD_CLOEXEC | SFD_NONBLOCK);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  // A second signal during the closing fold is taken here too: the closing
  // work always ends, and the process exits normally.
  ~StopSignals() {
    while (Take()) {
    }
    ::close(fd_);
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }

  // Waits up to `milliseconds`; true when a stop signal came.
  bool Wait(int milliseconds) {
    pollfd wait = {fd_, POLLIN, 0};
    return ::poll(&wait, 1, milliseconds) > 0 && Take();
  }

 private:
  bool Take() {
    signalfd_siginfo info;
    return ::read(fd_, &info, sizeof info) == sizeof info;
  }

  sigset_t set_, old_;
  int fd_ = -1;
};

int64_t Today() {
  return LocalDayNumber(std::time(nullptr));
}

std::string WallClockNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

// What a run of the report came to.
struct ReportOutcome {
  enum class End { kWritten, kBusy, kFailed };
  End end = End::kWritten;
  std::string error;  // kFailed
  std::chrono::steady_clock::duration took{};
};

class Listener {
 public:
  Listener(const fs::path& program_dir, std::string_view number, const ListenOptions& options)
      : program_dir_(program_dir),
        number_(number),
        database_dir_(DatabaseDir(program_dir, number)),
        logs_dir_(program_dir / kLogsFolderName),
        options_(options),
        filter_(options.allowed, options.listen),
        day_files_(logs_dir_, Today()),
        folder_(logs_dir_, database_dir_),
        terminal_(::isatty(STDERR_FILENO) == 1) {
    std::error_code error;
    if (!fs::is_directory(database_dir_, error))
      throw FileError(FileError::Kind::kOpen, database_dir_, "Datenbankordner fehlt");
    if (options.secret)
      std::fputs(
          "varnokel-cli: --secret ist f\xC3\xBCr alle Benutzer dieses Rechners sichtbar (ps); "
          "besser --secret-file\n",
          stderr);
    receiver_.emplace(options.listen, filter_, ChooseSecret(options), day_files_, counts_);
  }

  size_t Run();

 private:
  bool Fold(LockWait wait);
  void FoldWhatIsLeft();
  void SettleJournal();
  void Tidy();
  void CompressOld();
  bool ReportDue() const;
  void StartReport();
  void TakeReport(bool wait);
  ReportOutcome WriteSite(LockWait wait, bool below_folds = false);
  void Reported(const ReportOutcome& outcome, bool new_players);
  void ShowNotices();
  void ShowError(const std::string& text);
  void ShowStatus();
  void ShowSummary();

  fs::path program_dir_;
  std::string number_;
  fs::path database_dir_;
  fs::path logs_dir_;
  const ListenOptions& options_;
  StopSignals signals_;  // before the receiving thread starts
  SenderFilter filter_;
  ListenCounts counts_;
  DayFileWriter day_files_;
  DayFileFolder folder_;
  std::optional<LogReceiver> receiver_;
  bool terminal_;
  std::string reference_line_;
  uint64_t folded_ = 0;
  FoldTimes fold_times_;
  bool changed_ = false;      // since the last report
  bool new_players_ = false;  // since the last report
  // The database folder, used by the fold or by the report while it reads.
  std::mutex database_use_;
  // The report writing the site beside the folds, and whether it was started
  // for new players.
  std::future<ReportOutcome> report_;
  bool report_new_players_ = false;
  std::optional<Clock::time_point> last_report_;
  Clock::duration last_report_took_{};
  Clock::time_point last_forget_ = Clock::now();
  Clock::time_point last_compress_;
  uint64_t overflow_shown_ = 0;
  std::string last_report_clock_ = "-";
  size_t reports_ = 0;
  std::string last_error_;
  bool status_shown_ = false;
};

size_t Listener::Run() {
  std::fprintf(stderr, "Datenbank %s: empfange Logs auf %s (Empfangspuffer %d MB)\n",
               number_.c_str(), FormatEndpoint(receiver_->bound()).c_str(),
               receiver_->receive_buffer_bytes() / kBytesPerMegabyte);
  // What an earlier run left: half a line where it died inside a write (set
  // aside before anything is appended), lines written and not folded.
  const std::vector<std::string> day_files = AcceptedDayFiles(logs_dir_, filter_);
  for (const std::string& relative : day_files) {
    try {
      SetTornLineAside(logs_dir_ / relative);
    } catch (const FileError& error) {
      ShowError(error.what());
    }
  }
  receiver_->Start();
  try {
    folder_.TakeUpUnfolded(day_files);
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
  CompressOld();
  uint64_t datagrams_before = counts_.datagrams;
  Clock::time_point next = Clock::now() + kFoldEvery;
  for (;;) {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    if (signals_.Wait(static_cast<int>(std::max<int64_t>(wait.count(), 0)))) break;
    if (Clock::now() < next) continue;
    TakeReport(false);
    // Lines the fold's budget left for later are folded at once, not a
    // second later: a burst drains as fast as the disk allows while each
    // fold stays short.
    const bool left_for_later = Fold(LockWait::kNoWait) && folder_.HasWork();
    if (ReportDue()) StartReport();
    Tidy();
    ShowNotices();
    ShowStatus();
    // A second without a datagram (hurried folds look at no second of their own).
    if (!left_for_later) {
      const uint64_t datagrams = counts_.datagrams;
      if (options_.once && datagrams == datagrams_before) break;
      datagrams_before = datagrams;
    }
    // Every second from the last start: a fold that took long is followed
    // by the next at once.
    next = left_for_later ? Clock::now() : std::max(next + kFoldEvery, Clock::now());
  }
  receiver_->Stop();
  TakeReport(true);
  FoldWhatIsLeft();
  if (changed_) Reported(WriteSite(LockWait::kWait), new_players_);
  CompressOld();
  ShowNotices();
  ShowSummary();
  return reports_;
}

// True when the fold went through (or had nothing to do).
bool Listener::Fold(LockWait wait) {
  const std::string write_error = receiver_->TakeWriteError();
  if (!write_error.empty()) ShowError(write_error);
  folder_.Grown(day_files_.TakeGrown());
  if (!folder_.HasWork()) {
    SettleJournal();  // a quiet second: the last fold's journal goes
    return true;
  }
  const Clock::time_point start = Clock::now();
  try {
    const std::lock_guard<std::mutex> use(database_use_);
    const UpdateSummary summary = folder_.Fold(wait, reference_line_);
    fold_times_.Add(Clock::now() - start);
    folded_ += summary.lines_folded;
    if (summary.players_new + summary.players_changed > 0) changed_ = true;
    if (summary.players_new > 0) new_players_ = true;
    return true;
  } catch (const DatabaseBusy&) {
    ShowError("Datenbank " + number_ + " ist belegt; eingelesen wird, sobald sie frei ist");
  } catch (const UpdateStopped& stopped) {
    folded_ += stopped.lines_folded();
    changed_ = true;
    ShowError(stopped.what());
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
  return false;
}

// At the end: every line written, fold after fold, each within its budget,
// until a fold fails (what is left is folded at the next start).
void Listener::FoldWhatIsLeft() {
  while (Fold(LockWait::kWait) && folder_.HasWork()) {
  }
  SettleJournal();
}

void Listener::SettleJournal() {
  try {
    const std::lock_guard<std::mutex> use(database_use_);
    folder_.SettleJournal();
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
}

// What is done now and then, not every second: forgetting day files that
// rest, compressing old ones.
void Listener::Tidy() {
  const Clock::time_point now = Clock::now();
  if (now - last_forget_ >= kForgetEvery) {
    folder_.ForgetIdle(now - kForgetDayFileAfter);
    last_forget_ = now;
  }
  if (now - last_compress_ >= kCompressEvery) CompressOld();
}

void Listener::CompressOld() {
  last_compress_ = Clock::now();
  if (options_.compress_after_days <= 0) return;
  try {
    Ledger ledger;
    {
      const std::lock_guard<std::mutex> use(database_use_);
      const DatabaseLock lock(database_dir_, DatabaseLock::Access::kRead, LockWait::kNoWait, {},
                              folder_.OwnJournal());
      ledger = Ledger::Read(database_dir_);
    }
    CompressOldDayFiles(logs_dir_, AcceptedDayFiles(logs_dir_, filter_), ledger, Today(),
                        options_.compress_after_days);
  } catch (const DatabaseBusy&) {
    last_compress_ = Clock::now() - kCompressEvery + kFoldEvery;  // again in a second
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
}

// Fresh, then regular: soon when players came that the site does not show
// yet, otherwise at most `report_every_seconds` after a change; never while
// the last one still writes.
bool Listener::ReportDue() const {
  if (!changed_ || report_.valid()) return false;
  if (!last_report_) return true;
  const Clock::duration since = Clock::now() - *last_report_;
  return (new_players_ && since >= kReportRestFactor * last_report_took_) ||
         since >= std::chrono::seconds(options_.report_every_seconds);
}

// Writes the site on a thread of its own: the folds go on meanwhile, except
// while it reads the database.
void Listener::StartReport() {
  report_new_players_ = new_players_;
  changed_ = false;
  new_players_ = false;
  report_ = std::async(std::launch::async,
                       [this] { return WriteSite(LockWait::kNoWait, /*below_folds=*/true); });
}

// Takes the outcome of the report when it is done (with `wait`, once it is).
void Listener::TakeReport(bool wait) {
  if (!report_.valid()) return;
  if (!wait && report_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
  Reported(report_.get(), report_new_players_);
}

// Holds the database while the report reads it and while it writes its index
// of the site there; the pages are written without it. Safe on any thread.
ReportOutcome Listener::WriteSite(LockWait wait, bool below_folds) {
  const Clock::time_point start = Clock::now();
  ReportOutcome outcome;
  try {
    std::unique_lock<std::mutex> use(database_use_);
    std::optional<DatabaseLock> lock(std::in_place, database_dir_, DatabaseLock::Access::kRead,
                                     wait, std::function<void()>(), folder_.OwnJournal());
    SiteTarget site{options_.site.empty() ? DefaultSiteDir(program_dir_) : options_.site, wait, {}};
    site.around_index_write = [&](const std::function<void()>& write) {
      if (lock) return folder_.WriteOwnFile(write);  // still held
      const std::lock_guard<std::mutex> use_again(database_use_);
      const DatabaseLock again(database_dir_, DatabaseLock::Access::kRead, LockWait::kWait, {},
                               folder_.OwnJournal());
      folder_.WriteOwnFile(write);
    };
    ReportRun(site, database_dir_, ReadColourFile(program_dir_ / kColourFileName),
              std::time(nullptr), [&] {
                lock.reset();
                use.unlock();
                // The pages are written below the receiving thread and the
                // folds, and so are the page writers started from here on;
                // the database was read at the folds' own priority, since
                // they wait for that.
                if (below_folds)
                  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kReportNiceness);
              });
  } catch (const DatabaseBusy&) {
    outcome.end = ReportOutcome::End::kBusy;  // a writer is at work: the next second tries again
  } catch (const SiteBusy&) {
    outcome.end = ReportOutcome::End::kBusy;  // so is another writer of the site
  } catch (const std::exception& error) {
    outcome.end = ReportOutcome::End::kFailed;  // tried again when the next report is due
    outcome.error = error.what();
  }
  outcome.took = Clock::now() - start;
  return outcome;
}

// What a report run (started for `new_players`) leaves to do.
void Listener::Reported(const ReportOutcome& outcome, bool new_players) {
  if (outcome.end == ReportOutcome::End::kWritten) {
    ++reports_;
    last_report_clock_ = WallClockNow();
  } else {
    changed_ = true;
    new_players_ = new_players_ || new_players;
    if (outcome.end == ReportOutcome::End::kBusy) return;
    ShowError(outcome.error);
  }
  last_report_ = Clock::now();
  last_report_took_ = outcome.took;
}

void Listener::ShowError(const std::string& text) {
  if (text == last_error_) return;
  last_error_ = text;
  if (status_shown_) std::fputs("\r\x1b[K", stderr);
  std::fprintf(stderr, "varnokel-cli: %s\n", text.c_str());
}

void Listener::ShowNotices() {
  for (const std::string& notice : receiver_->TakeNotices()) {
    if (status_shown_) std::fputs("\r\x1b[K", stderr);
    std::fprintf(stderr, "varnokel-cli: %s\n", notice.c_str());
  }
  const uint64_t overflowed = counts_.overflowed;
  if (overflow_shown_ == 0 && overflowed > 0) {
    ShowError("Empfangspuffer voll: " + std::to_string(overflowed) + " Datagramme verloren");
    overflow_shown_ = overflowed;
  }
}

void Listener::ShowStatus() {
  if (!terminal_) return;
  auto n = [](uint64_t value) { return static_cast<unsigned long long>(value); };
  std::fprintf(stderr,
               "\r\x1b[KDatenbank %s: %llu empfangen, %llu eingelesen, %llu falsches Datum, "
               "%llu verworfen (%llu fremd, %llu Passwort, %llu fehlerhaft, %llu nicht "
               "geschrieben), %llu Puffer verloren, letzter Bericht %s",
               number_.c_str(), n(counts_.datagrams), n(folded_), n(counts_.wrong_date),
               n(counts_.Dropped()), n(counts_.foreign), n(counts_.wrong_secret),
               n(counts_.malformed), n(counts_.unwritten), n(counts_.overflowed),
               last_report_clock_.c_str());
  status_shown_ = true;
}

void Listener::ShowSummary() {
  const std::string write_error = receiver_->TakeWriteError();
  if (!write_error.empty()) ShowError(write_error);
  if (status_shown_) std::fputs("\r\x1b[K", stderr);
  auto n = [](uint64_t value) { return static_cast<unsigned long long>(value); };
  std::fprintf(stderr,
               "Datenbank %s: %llu Datagramme empfangen, %llu Zeilen in Tagesdateien, %llu "
               "eingelesen, %llu falsches Datum (in %s), %llu verworfen (%llu fremde Absender, "
               "%llu falsches Passwort, %llu fehlerhaft, %llu nicht geschrieben), %llu im "
               "Empfangspuffer verloren\n",
               number_.c_str(), n(counts_.datagrams), n(counts_.written), n(folded_),
               n(counts_.wrong_date), std::string(kWrongDateFileName).c_str(), n(counts_.Dropped()),
               n(counts_.foreign), n(counts_.wrong_secret), n(counts_.malformed),
               n(counts_.unwritten), n(counts_.overflowed));
  std::fprintf(stderr, "Datenbank %s: Einlesen %s\n", number_.c_str(),
               fold_times_.Summary().c_str());
}

}  // namespace

size_t RunListener(const fs::path& program_dir, std::string_view database_number,
                   const ListenOptions& options) {
  Listener listener(program_dir, database_number, options);
  return listener.Run();
}

}  // namespace varnokel
