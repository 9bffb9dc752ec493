// SPDX-License-Identifier: GPL-3.0-or-later
// The day files of the listener: every accepted line is appended, in arrival
// order, to <program>/Logs/<sender>/L<YYYYMMDD>.log (the date of the line)
// before the database sees it; the database is fed from these files only.
// A line whose date is not current on the listener's calendar (day_calendar.h)
// goes to the sender's <sender>/falsches-Datum.log instead, a file of bounded
// size: so a sender holds at most four files open and makes at most three
// new ones a day, whatever dates it sends.
//
// What is on disk at every moment: a day file holds whole lines, each written
// with the lines that came with it in one write, except where the process
// died inside a write or the machine lost power. The incomplete last line
// that leaves is found when the file is next opened for writing: it is added
// to "<day file>.torn" (a file no log intake reads) and cut off the day file,
// so it is never folded and no later line merges with it. Folding reads
// complete lines only, so it never takes such a line before that either.
//
// A day file is written under an exclusive lock (flock, released when the
// process dies): a second listener on the same program folder that receives
// from the same sender writes nothing into its files; its lines count as
// not written.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "listen/endpoint.h"

namespace varnokel {

inline constexpr std::string_view kLogsFolderName = "Logs";
inline constexpr std::string_view kTornSuffix = ".torn";
inline constexpr std::string_view kWrongDateFileName = "falsches-Datum.log";
inline constexpr uint64_t kMaxWrongDateFileBytes = uint64_t{64} << 20;

// "L20030315.log" for a line dated 03/15/2003. `line` is one that
// ParseLogDatagram kept, so its date is digits.
std::string DayFileName(std::string_view line);
// True for the names DayFileName gives.
bool IsDayFileName(std::string_view name);
// The day number (day_calendar.h) of a name DayFileName gives, else nullopt.
std::optional<int64_t> DayNumberOfDayFile(std::string_view name);

class SenderFilter;

// The day files (and files of lines with a wrong date) below `logs_dir` of
// the senders `filter` accepts, as paths relative to it, in the order of
// sender and date.
std::vector<std::string> AcceptedDayFiles(const std::filesystem::path& logs_dir,
                                          const SenderFilter& filter);

// Sets the incomplete last line of a day file aside as described above (for
// a file that will not be written again soon); a file another listener
// writes is left alone. Throws FileError naming the file.
void SetTornLineAside(const std::filesystem::path& day_file);

class DayFileWriter {
 public:
  using Clock = std::chrono::steady_clock;

  // Writes below `logs_dir`; lines are current on the calendar of `today`
  // (a day number) until SetToday says otherwise. A file of lines with a
  // wrong date grows to `max_wrong_date_bytes`. Raises the limit of open
  // files of the process as far as the system lets it.
  DayFileWriter(std::filesystem::path logs_dir, int64_t today,
                uint64_t max_wrong_date_bytes = kMaxWrongDateFileBytes);
  DayFileWriter(const DayFileWriter&) = delete;
  DayFileWriter& operator=(const DayFileWriter&) = delete;
  ~DayFileWriter();

  void SetToday(int64_t today) { today_ = today; }

  // Queues `line` (kept by ParseLogDatagram, LF included) for its day file of
  // `sender`, or, when its date is not current, for the sender's file of
  // such lines: then false.
  bool Add(const Endpoint& sender, std::string_view line);

  struct Outcome {
    size_t written = 0;  // lines now in their day files
    size_t failed = 0;   // lines that could not be written (and are not)
    std::string error;   // why, naming the file, when some failed
  };
  // Writes every queued line, one write per day file; of lines with a wrong
  // date only as many as the bounded file takes.
  Outcome Flush();

  // Closes the day files nothing was written to since `idle_since`.
  void CloseIdle(Clock::time_point idle_since);

  // The day files written to since the last call, as paths relative to the
  // Logs folder ("192.0.2.7_27015/L20030315.log"). Safe to call from another
  // thread than the one writing.
  std::vector<std::string> TakeGrown();

 private:
  // A sender's day (kWrongDate: its file of lines with a wrong date), found
  // without making a path for every line.
  static constexpr int64_t kWrongDate = INT64_MIN;
  struct DayKey {
    Endpoint sender;
    int64_t day = kWrongDate;
    bool operator==(const DayKey&) const = default;
  };
  struct DayKeyHash {
    size_t operator()(const DayKey& key) const;
  };
  struct DayFile {
    std::string relative;  // "192.0.2.7_27015/L20030315.log"
    int fd = -1;
    uint64_t size = 0;  // while open
    bool bounded = false;
    std::string queued;
    size_t queued_lines = 0;
    Clock::time_point last_write;
    std::list<DayFile*>::iterator in_open_order;  // while open
  };

  void Open(DayFile& file);
  void Close(DayFile& file);
  // Keeps of the queued lines of a bounded file as many as it takes; returns
  // how many lines it left out.
  size_t CutToBound(DayFile& file);
  void Write(DayFile& file, Outcome& outcome);

  std::filesystem::path logs_dir_;
  int64_t today_;
  uint64_t max_wrong_date_bytes_;
  std::unordered_map<DayKey, DayFile, DayKeyHash> files_;
  std::vector<DayFile*> queued_;    // files with queued lines
  std::list<DayFile*> open_order_;  // open files, least recently written first
  size_t max_open_files_;
  std::mutex grown_mutex_;
  std::set<std::string> grown_;
};

}  // namespace varnokel
