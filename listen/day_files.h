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
// On a disk without room (full, over quota, over the size limit) a write
// cut short is taken back whole, and its lines wait in memory, bounded by
// kMaxHeldBytes, until a later write finds room; lines beyond the bound are
// not written.
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
// Lines kept in memory while the disk has no room for them.
inline constexpr uint64_t kMaxHeldBytes = uint64_t{256} << 20;

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
  // wrong date grows to `max_wrong_date_bytes`; lines waiting for room on
  // the disk take up to `max_held_bytes` of memory. Raises the limit of open
  // files of the process as far as the system lets it.
  DayFileWriter(std::filesystem::path logs_dir, int64_t today,
                uint64_t max_wrong_date_bytes = kMaxWrongDateFileBytes,
                uint64_t max_held_bytes = kMaxHeldBytes);
  DayFileWriter(const DayFileWriter&) = delete;
  DayFileWriter& operator=(const DayFileWriter&) = delete;
  ~DayFileWriter();

  void SetToday(int64_t today) { today_ = today; }

  // Queues `line` (kept by ParseLogDatagram, LF included) for its day file of
  // `sender`, or, when its date is not current, for the sender's file of
  // such lines: then false.
  bool Add(const Endpoint& sender, std::string_view line);

  struct Outcome {
    size_t written = 0;   // lines now in their day files
    size_t failed = 0;    // lines that could not be written (and are not)
    size_t held = 0;      // lines kept in memory for want of room, in all
    std::string error;    // why, naming the file, when some failed
    std::string no_room;  // why, naming the file, when some are held
  };
  // Writes every queued line, one write per day file; of lines with a wrong
  // date only as many as the bounded file takes. The lines of a file the
  // disk has no room for (full, over quota or over the size limit) stay
  // queued, as long as all of them take no more than `max_held_bytes`
  // (the newest beyond it fail), and go first at the next call.
  Outcome Flush();

  // True while lines are held for want of room.
  bool Holding() const { return held_bytes_ > 0; }
  // Forgets the held lines (the listener ends); returns how many they were.
  size_t DropHeld();

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
  // Keeps of the queued lines as many as fit in `room` bytes; returns how
  // many lines it left out.
  static size_t CutQueued(DayFile& file, uint64_t room);
  // False when the disk had no room for the queued lines: then they are
  // still queued, and the file holds none of them.
  bool Write(DayFile& file, Outcome& outcome);
  void Hold(DayFile& file, Outcome& outcome);

  std::filesystem::path logs_dir_;
  int64_t today_;
  uint64_t max_wrong_date_bytes_;
  uint64_t max_held_bytes_;
  uint64_t held_bytes_ = 0;
  std::unordered_map<DayKey, DayFile, DayKeyHash> files_;
  std::vector<DayFile*> queued_;    // files with queued lines
  std::list<DayFile*> open_order_;  // open files, least recently written first
  size_t max_open_files_;
  std::mutex grown_mutex_;
  std::set<std::string> grown_;
};

}  // namespace varnokel
