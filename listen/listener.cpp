#include "listen/listener.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
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
  void Fold(LockWait wait);
  void Tidy();
  void CompressOld();
  bool ReportDue() const;
  void Report(LockWait wait);
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
  bool changed_ = false;      // since the last report
  bool new_players_ = false;  // since the last report
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
    Fold(LockWait::kNoWait);
    if (ReportDue()) Report(LockWait::kNoWait);
    Tidy();
    ShowNotices();
    ShowStatus();
    const uint64_t datagrams = counts_.datagrams;
    if (options_.once && datagrams == datagrams_before) break;
    datagrams_before = datagrams;
    // Every second from the last start: a fold that took long is followed
    // by the next at once.
    next = std::max(next + kFoldEvery, Clock::now());
  }
  receiver_->Stop();
  Fold(LockWait::kWait);
  if (changed_) Report(LockWait::kWait);
  CompressOld();
  ShowNotices();
  ShowSummary();
  return reports_;
}

void Listener::Fold(LockWait wait) {
  const std::string write_error = receiver_->TakeWriteError();
  if (!write_error.empty()) ShowError(write_error);
  folder_.Grown(day_files_.TakeGrown());
  try {
    const UpdateSummary summary = folder_.Fold(wait, reference_line_);
    folded_ += summary.lines_folded;
    if (summary.players_new + summary.players_changed > 0) changed_ = true;
    if (summary.players_new > 0) new_players_ = true;
  } catch (const DatabaseBusy&) {
    ShowError("Datenbank " + number_ + " ist belegt; eingelesen wird, sobald sie frei ist");
  } catch (const UpdateStopped& stopped) {
    folded_ += stopped.lines_folded();
    changed_ = true;
    ShowError(stopped.what());
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
      const DatabaseLock lock(database_dir_, DatabaseLock::Access::kRead, LockWait::kNoWait);
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
// yet, otherwise at most `report_every_seconds` after a change.
bool Listener::ReportDue() const {
  if (!changed_) return false;
  if (!last_report_) return true;
  const Clock::duration since = Clock::now() - *last_report_;
  return (new_players_ && since >= kReportRestFactor * last_report_took_) ||
         since >= std::chrono::seconds(options_.report_every_seconds);
}

void Listener::Report(LockWait wait) {
  const Clock::time_point start = Clock::now();
  try {
    const DatabaseLock lock(database_dir_, DatabaseLock::Access::kRead, wait);
    const fs::path site = options_.site.empty() ? DefaultSiteDir(program_dir_) : options_.site;
    ReportRun(SiteTarget{site, wait, {}}, database_dir_,
              ReadColourFile(program_dir_ / kColourFileName));
    ++reports_;
    changed_ = false;
    new_players_ = false;
    last_report_clock_ = WallClockNow();
  } catch (const DatabaseBusy&) {
    return;  // a writer is at work: the next second tries again
  } catch (const SiteBusy&) {
    return;  // so is another writer of the site
  } catch (const std::exception& error) {
    ShowError(error.what());  // tried again when the next report is due
  }
  last_report_ = Clock::now();
  last_report_took_ = *last_report_ - start;
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
}

}  // namespace

size_t RunListener(const fs::path& program_dir, std::string_view database_number,
                   const ListenOptions& options) {
  Listener listener(program_dir, database_number, options);
  return listener.Run();
}

}  // namespace varnokel
