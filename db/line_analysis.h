// SPDX-License-Identifier: GPL-3.0-or-later
// The analysis of the lines an update plan folds: the planned ranges cut into
// stretches of about a megabyte, analysed on threads of their own into the
// events the fold applies, handed over in log order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "db/update_plan.h"
#include "log/line_events.h"
#include "log/match_recognisers.h"

namespace varnokel {

// A line as the analysis leaves it for the fold: only lines that change
// something or are passed over as unreadable are kept.
struct AnalysedLine {
  LineEvents events;
  size_t offset = 0;         // where the line starts in its log's text
  size_t line_in_chunk = 0;  // 1-based, counted from the chunk's first line
  size_t id_hash = 0;        // IdHash of the ids
  size_t killer_hash = 0;
  bool unreadable = false;
  bool part = false;  // one of the parts of a line that NUL runs cut
  // What only the event store reads: a map line, a suicide (of events.id), or
  // the teams of a kill.
  std::optional<MapLine> map;
  bool suicide = false;
  std::optional<KillTeams> teams;
};

// A stretch of one log's text, cut right after a line end; the last stretch
// of a log runs to its end and holds the text after its last line end.
struct Stretch {
  size_t log = 0;  // index in the plan
  size_t begin = 0;
  size_t end = 0;
  bool last = false;
};

struct Chunk {
  size_t log = 0;    // index in the plan
  size_t begin = 0;  // the stretch of the log's text it holds
  size_t end = 0;
  size_t lines = 0;  // lines analysed, kept or not
  std::vector<AnalysedLine> kept;
  // The classic readings of kept lines a newer engine wrote (their events
  // point into them); a deque keeps them in place.
  std::deque<std::string> classic_lines;
  std::string_view first_line, last_line;  // the first and last that are not empty
};

// The analysis of every planned line, stretch by stretch on as many threads
// as the machine has cores (four at most); the fold takes the chunks in log
// order and applies them on its own thread. The analysis runs a few chunks
// ahead at most. The plan must outlive it.
class LineAnalysis {
 public:
  explicit LineAnalysis(const UpdatePlan& plan);
  LineAnalysis(const LineAnalysis&) = delete;
  LineAnalysis& operator=(const LineAnalysis&) = delete;
  // Stops what is left of the analysis.
  ~LineAnalysis();

  // The next chunk in log order, or nothing when all are handed over.
  std::optional<Chunk> Next();

  // Gives back the lines of a chunk the fold is done with, for reuse.
  void Recycle(Chunk&& chunk);

 private:
  void Work();
  void AnalyseStretch(const Stretch& stretch, Chunk& chunk) const;

  const UpdatePlan& plan_;
  const std::vector<Stretch> stretches_;
  std::mutex mutex_;
  std::condition_variable ready_, space_;
  std::vector<std::optional<Chunk>> chunks_;  // by stretch, while analysed and not taken
  std::vector<std::vector<AnalysedLine>> spare_;
  size_t next_ = 0;       // the next stretch to analyse
  size_t taken_ = 0;      // chunks the fold has taken
  bool stopped_ = false;  // the fold wants no more
  std::vector<std::thread> threads_;
};

}  // namespace varnokel
