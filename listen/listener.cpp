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
#include "db/update_run.h"
#include "listen/day_file_folder.h"
#include "listen/day_files.h"
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
        day_files_(logs_dir_),
        folder_(logs_dir_, database_dir_),
        terminal_(::isatty(STDERR_FILENO) == 1) {
    std::error_code error;
    if (!fs::is_directory(database_dir_, error))
      throw FileError(FileError::Kind::kOpen, database_dir_, "no such database folder");
    receiver_.emplace(options.listen, filter_, options.secret, day_files_, counts_);
  }

  size_t Run();

 private:
  void Fold(LockWait wait);
  bool ReportDue() const;
  void Report(LockWait wait);
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
  bool changed_ = false;  // since the last report
  std::optional<Clock::time_point> last_report_;
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
  uint64_t datagrams_before = counts_.datagrams;
  Clock::time_point next = Clock::now() + kFoldEvery;
  for (;;) {
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    if (signals_.Wait(static_cast<int>(std::max<int64_t>(wait.count(), 0)))) break;
    if (Clock::now() < next) continue;
    Fold(LockWait::kNoWait);
    if (ReportDue()) Report(LockWait::kNoWait);
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
  } catch (const DatabaseBusy&) {
    ShowError("Datenbank " + number_ + " ist belegt; eingelesen wird, sobald sie frei ist");
  } catch (const UpdateStopped& stopped) {
    folded_ += stopped.lines_folded();
    changed_ = true;
    ShowError(stopped.what());
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
  folder_.ForgetIdle(Clock::now() - kForgetDayFileAfter);
}

bool Listener::ReportDue() const {
  return changed_ && (!last_report_ || Clock::now() - *last_report_ >=
                                           std::chrono::seconds(options_.report_every_seconds));
}

void Listener::Report(LockWait wait) {
  try {
    const DatabaseLock lock(database_dir_, DatabaseLock::Access::kRead, wait);
    const fs::path site = options_.site.empty() ? DefaultSiteDir(program_dir_) : options_.site;
    ReportRun(SiteTarget{site, wait, {}}, database_dir_,
              ReadColourFile(program_dir_ / kColourFileName));
    ++reports_;
    changed_ = false;
    last_report_clock_ = WallClockNow();
  } catch (const DatabaseBusy&) {
    return;  // a writer is at work: the next second tries again
  } catch (const SiteBusy&) {
    return;  // so is another writer of the site
  } catch (const std::exception& error) {
    ShowError(error.what());  // tried again when the next report is due
  }
  last_report_ = Clock::now();
}

void Listener::ShowError(const std::string& text) {
  if (text == last_error_) return;
  last_error_ = text;
  if (status_shown_) std::fputs("\r\x1b[K", stderr);
  std::fprintf(stderr, "varnokel-cli: %s\n", text.c_str());
}

void Listener::ShowStatus() {
  if (!terminal_) return;
  std::fprintf(stderr,
               "\r\x1b[KDatenbank %s: %llu empfangen, %llu eingelesen, %llu verworfen, "
               "letzter Bericht %s",
               number_.c_str(), static_cast<unsigned long long>(counts_.datagrams.load()),
               static_cast<unsigned long long>(folded_),
               static_cast<unsigned long long>(counts_.Dropped()), last_report_clock_.c_str());
  status_shown_ = true;
}

void Listener::ShowSummary() {
  const std::string write_error = receiver_->TakeWriteError();
  if (!write_error.empty()) ShowError(write_error);
  if (status_shown_) std::fputs("\r\x1b[K", stderr);
  auto n = [](uint64_t value) { return static_cast<unsigned long long>(value); };
  std::fprintf(stderr,
               "Datenbank %s: %llu Datagramme empfangen, %llu Zeilen in Tagesdateien, %llu "
               "eingelesen, %llu verworfen (%llu fremde Absender, %llu falsches Passwort, %llu "
               "fehlerhaft, %llu nicht geschrieben), %llu im Empfangspuffer verloren\n",
               number_.c_str(), n(counts_.datagrams), n(counts_.written), n(folded_),
               n(counts_.Dropped()), n(counts_.foreign), n(counts_.wrong_secret),
               n(counts_.malformed), n(counts_.unwritten), n(counts_.overflowed));
}

}  // namespace

size_t RunListener(const fs::path& program_dir, std::string_view database_number,
                   const ListenOptions& options) {
  Listener listener(program_dir, database_number, options);
  return listener.Run();
}

}  // namespace varnokel
