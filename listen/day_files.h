// The day files of the listener: every accepted line is appended, in arrival
// order, to <program>/Logs/<sender>/L<YYYYMMDD>.log (the date of the line)
// before the database sees it; the database is fed from these files only.
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

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "listen/endpoint.h"
#include "log/log_line_layout.h"

namespace varnokel {

inline constexpr std::string_view kLogsFolderName = "Logs";
inline constexpr std::string_view kTornSuffix = ".torn";

// "L20030315.log" for a line dated 03/15/2003. `line` is one that
// ParseLogDatagram kept, so its date is digits.
std::string DayFileName(std::string_view line);
// True for the names DayFileName gives.
bool IsDayFileName(std::string_view name);

class SenderFilter;

// The day files below `logs_dir` of the senders `filter` accepts, as paths
// relative to it, in the order of sender and date.
std::vector<std::string> AcceptedDayFiles(const std::filesystem::path& logs_dir,
                                          const SenderFilter& filter);

// Sets the incomplete last line of a day file aside as described above (for
// a file that will not be written again soon); a file another listener
// writes is left alone. Throws FileError naming the file.
void SetTornLineAside(const std::filesystem::path& day_file);

class DayFileWriter {
 public:
  using Clock = std::chrono::steady_clock;

  explicit DayFileWriter(std::filesystem::path logs_dir);
  DayFileWriter(const DayFileWriter&) = delete;
  DayFileWriter& operator=(const DayFileWriter&) = delete;
  ~DayFileWriter();

  // Queues `line` (kept by ParseLogDatagram, LF included) for its day file of
  // `sender`.
  void Add(const Endpoint& sender, std::string_view line);

  struct Outcome {
    size_t written = 0;  // lines now in their day files
    size_t failed = 0;   // lines that could not be written (and are not)
    std::string error;   // why, naming the file, when some failed
  };
  // Writes every queued line, one write per day file.
  Outcome Flush();

  // Closes the day files nothing was written to since `idle_since`.
  void CloseIdle(Clock::time_point idle_since);

  // The day files written to since the last call, as paths relative to the
  // Logs folder ("192.0.2.7_27015/L20030315.log"). Safe to call from another
  // thread than the one writing.
  std::vector<std::string> TakeGrown();

 private:
  // A sender's day: found without making a path for every line.
  struct DayKey {
    Endpoint sender;
    std::array<char, log_line::kDateLength> date{};
    bool operator==(const DayKey&) const = default;
  };
  struct DayKeyHash {
    size_t operator()(const DayKey& key) const;
  };
  struct DayFile {
    std::string relative;  // "192.0.2.7_27015/L20030315.log"
    int fd = -1;
    std::string queued;
    size_t queued_lines = 0;
    Clock::time_point last_write;
  };

  void Open(DayFile& file);
  void Close(DayFile& file);
  void CloseLeastRecent();

  std::filesystem::path logs_dir_;
  std::unordered_map<DayKey, DayFile, DayKeyHash> files_;
  size_t open_files_ = 0;
  std::mutex grown_mutex_;
  std::set<std::string> grown_;
};

}  // namespace varnokel
