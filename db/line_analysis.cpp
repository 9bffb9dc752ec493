// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/line_analysis.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "db/player_cache.h"
#include "log/log_line_layout.h"
#include "log/log_lines.h"
#include "log/recognisers.h"

namespace varnokel {

namespace {

constexpr size_t kStretchBytes = 1 << 20;  // log text analysed in one go
constexpr size_t kChunksAhead = 8;         // analysed stretches waiting for the fold at most
constexpr unsigned kMaxAnalysisThreads = 4;
constexpr size_t kShortestLine = 64;  // for reserving room: game lines are rarely shorter

bool NamesAPlayer(const LineEvents& e) {
  return e.entered || e.team_join != Team::kNone || e.kill || e.objective || e.disconnected;
}

// A line that counts for the event store only (a map line or a suicide);
// false when it is none.
bool AnalyseMatchLine(std::string_view line, AnalysedLine& out) {
  out.map = RecogniseMapLine(line);
  if (!out.map) {
    if (!IsSuicide(line)) return false;
    const std::optional<std::string_view> id = ExtractPlayerId(line);
    if (!id || !IsValidPlayerId(*id)) return false;
    out.suicide = true;
    out.events.id = *id;
  }
  out.events.date = log_line::Date(line);
  out.events.time = log_line::Time(line);
  return true;
}

// Analyses one line; false when it changes nothing.
bool Analyse(std::string_view line, AnalysedLine& out, std::string& classic) {
  const std::optional<LineEvents> found = AnalyseLine(line, classic);
  if (!found) {
    out.unreadable = true;
    return true;
  }
  // The line as its classic form reads (the events point into it).
  const std::string_view read = classic.empty() ? line : std::string_view(classic);
  if (!NamesAPlayer(*found)) return AnalyseMatchLine(read, out);
  out.events = *found;
  if (found->kill) out.teams = TeamsOfKill(read);
  out.unreadable = !IsValidPlayerId(found->id) || (found->kill && !IsValidPlayerId(found->killer));
  out.id_hash = IdHash(found->id);
  if (found->kill) out.killer_hash = IdHash(found->killer);
  return true;
}

// Keeps the analysis of a line (or a part of one) starting at `offset` of
// its log when it changes something. `scratch` takes the classic reading of
// a newer engine's line; a kept one is read again into the chunk's own
// storage, where its events can point.
void AnalysePart(std::string_view text, size_t offset, bool part, Chunk& chunk,
                 std::string& scratch) {
  AnalysedLine& analysed = chunk.kept.emplace_back();
  scratch.clear();
  if (!Analyse(text, analysed, scratch)) {
    chunk.kept.pop_back();
    return;
  }
  if (!scratch.empty()) Analyse(text, analysed, chunk.classic_lines.emplace_back());
  analysed.offset = offset;
  analysed.line_in_chunk = chunk.lines;
  analysed.part = part;
}

// The parts of a line that NUL runs cut, each analysed, and an unreadable
// entry for every run.
void AnalyseNulCutLine(std::string_view line, size_t offset, Chunk& chunk, std::string& scratch) {
  const size_t runs = ForEachPartBetweenNulRuns(
      line, [&](std::string_view part) { AnalysePart(part, offset, true, chunk, scratch); });
  for (size_t run = 0; run < runs; ++run) {
    AnalysedLine& nul_run = chunk.kept.emplace_back();
    nul_run.unreadable = nul_run.part = true;
    nul_run.offset = offset;
    nul_run.line_in_chunk = chunk.lines;
  }
}

// The ranges every planned log folds, cut into stretches of about
// kStretchBytes; their lines are exactly the lines of the ranges.
std::vector<Stretch> CutIntoStretches(const UpdatePlan& plan) {
  std::vector<Stretch> stretches;
  for (size_t i = 0; i < plan.logs.size(); ++i) {
    const std::string_view text = plan.logs[i].text;
    for (const LineRange& range : plan.logs[i].ranges) {
      for (size_t begin = range.begin; begin < range.end || begin == text.size();) {
        const size_t lf =
            range.end - begin > kStretchBytes ? text.find('\n', begin + kStretchBytes) : text.npos;
        const size_t end = lf < range.end ? lf + 1 : range.end;
        stretches.push_back({i, begin, end, end == text.size()});
        if (end == range.end) break;
        begin = end;
      }
    }
  }
  return stretches;
}

}  // namespace

LineAnalysis::LineAnalysis(const UpdatePlan& plan)
    : plan_(plan), stretches_(CutIntoStretches(plan)), chunks_(stretches_.size()) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t threads = std::min<size_t>(std::min(cores, kMaxAnalysisThreads), stretches_.size());
  for (size_t t = 0; t < threads; ++t) threads_.emplace_back([this] { Work(); });
}

LineAnalysis::~LineAnalysis() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  space_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::optional<Chunk> LineAnalysis::Next() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (taken_ == chunks_.size()) return std::nullopt;
  ready_.wait(lock, [this] { return chunks_[taken_].has_value(); });
  Chunk chunk = std::move(*chunks_[taken_]);
  chunks_[taken_++].reset();
  space_.notify_all();
  return chunk;
}

void LineAnalysis::Recycle(Chunk&& chunk) {
  chunk.kept.clear();
  chunk.classic_lines.clear();
  std::lock_guard<std::mutex> lock(mutex_);
  spare_.push_back(std::move(chunk.kept));
}

void LineAnalysis::Work() {
  for (;;) {
    size_t index = 0;
    Chunk chunk;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      space_.wait(lock, [this] {
        return stopped_ || next_ == stretches_.size() || next_ < taken_ + kChunksAhead;
      });
      if (stopped_ || next_ == stretches_.size()) return;
      index = next_++;
      if (!spare_.empty()) {
        chunk.kept = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    AnalyseStretch(stretches_[index], chunk);
    std::lock_guard<std::mutex> lock(mutex_);
    chunks_[index] = std::move(chunk);
    ready_.notify_all();
  }
}

void LineAnalysis::AnalyseStretch(const Stretch& stretch, Chunk& chunk) const {
  const std::string_view text = plan_.logs[stretch.log].text;
  const std::string_view piece = text.substr(stretch.begin, stretch.end - stretch.begin);
  const char* const piece_end = piece.data() + piece.size();
  chunk.log = stretch.log;
  chunk.begin = stretch.begin;
  chunk.end = stretch.end;
  chunk.kept.reserve(kStretchBytes / kShortestLine);
  const bool has_nul = !piece.empty() && std::memchr(piece.data(), '\0', piece.size()) != nullptr;
  std::string scratch;
  ForEachLine(piece, [&](std::string_view line) {
    // A stretch cut after a line end: the empty text behind it is the next
    // stretch's first line.
    if (!stretch.last && line.data() == piece_end) return;
    ++chunk.lines;
    if (!line.empty()) {
      if (chunk.first_line.empty()) chunk.first_line = line;
      chunk.last_line = line;
    }
    const size_t offset = static_cast<size_t>(line.data() - text.data());
    if (!has_nul || std::memchr(line.data(), '\0', line.size()) == nullptr) {
      AnalysePart(line, offset, false, chunk, scratch);
    } else {
      AnalyseNulCutLine(line, offset, chunk, scratch);
    }
  });
}

}  // namespace varnokel
