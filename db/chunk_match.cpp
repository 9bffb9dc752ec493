#include "db/chunk_match.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace varnokel {

namespace {

// How many of the chunk's lines start before byte `known`.
uint32_t LinesStartingBefore(std::string_view text, const LineChunk& chunk, uint64_t known) {
  uint32_t lines = 0;
  for (size_t at = chunk.begin; lines < chunk.lines && at < known; ++lines) {
    const void* lf =
        at < text.size() ? std::memchr(text.data() + at, '\n', text.size() - at) : nullptr;
    at = lf == nullptr ? text.size() + 1 : static_cast<const char*>(lf) - text.data() + 1;
  }
  return lines;
}

uint64_t LinesOf(std::span<const LineChunk> chunks, size_t first, size_t end) {
  uint64_t lines = 0;
  for (size_t i = first; i < end; ++i) lines += chunks[i].lines;
  return lines;
}

std::string_view FirstLine(std::string_view text) {
  return text.substr(0, text.find('\n'));
}

// The places in the ledger a stretch starting at chunk `first` may go on from.
std::vector<ChunkRef> PlacesBefore(const Ledger& ledger, std::string_view text, size_t first,
                                   const std::vector<std::optional<ChunkRef>>& held,
                                   const ContentStart& start) {
  if (first > 0) return {*held[first - 1]};
  std::vector<ChunkRef> places;
  if (start.log_start) {
    for (size_t run : ledger.RunsStartingWith(LineKey(FirstLine(text))))
      places.push_back(ChunkRef{run, ChunkRef::kBeforeFirst});
  } else if (start.anchor) {
    const std::span<const ChunkRef> found = ledger.Find(*start.anchor);
    places.assign(found.begin(), found.end());
  }
  return places;
}

// The first and the last line of a chunk.
std::string_view FirstLineOf(std::string_view text, const LineChunk& chunk) {
  return text.substr(chunk.begin, LineStartAfter(text, chunk.begin, 1) - chunk.begin);
}
std::string_view LastLineOf(std::string_view text, const LineChunk& chunk) {
  const size_t start = LineStartAfter(text, chunk.begin, chunk.lines - 1);
  return text.substr(start, LineStartAfter(text, start, 1) - start);
}

// Lines at the stretch's beginning vouched for by what follows `after` in its
// run: its grown open end (checked line by line), or, for a text that ends
// inside the stretch's only chunk, the chunk it may be the beginning of (an
// older copy of a log folded further since; checked line by line by the
// chunk's marks where the ledger has them, else at its first line after a
// held chunk). Another server's log that began with the same lines and ended
// soon after passes the first line but not the marks.
uint64_t FrontHeld(const Ledger& ledger, std::string_view text, std::span<const LineChunk> chunks,
                   UnmatchedStretch& stretch, ChunkRef after, const ContentStart& start) {
  const LedgerRun& run = ledger.runs()[after.run];
  const size_t next = after.Next();
  if (next >= run.chunks.size()) return 0;
  const uint64_t lines = LinesOf(chunks, stretch.first, stretch.end);
  const LedgerChunk& following = run.chunks[next];
  if (run.open && next + 1 == run.chunks.size() && following.lines <= lines &&
      LinesDigest(text, chunks[stretch.first].begin, following.lines) == following.digest) {
    stretch.ends_open_end = true;
    return following.lines;
  }
  if (start.own_lines) return 0;
  const LineChunk& first = chunks[stretch.first];
  const bool text_ends_inside =
      stretch.end == chunks.size() && stretch.end == stretch.first + 1 && !first.complete;
  if (!text_ends_inside || lines > following.lines ||
      FirstLineBits(following.digest) != LineBits(FirstLineOf(text, first)))
    return 0;
  // A text that ends inside a log's first chunk is held only by the chunk's
  // marks: its first line alone does not tell a log (servers that start
  // their logs in the same second write the same one).
  const std::string_view marks = run.MarksOf(next);
  if (marks.empty()) return after.pos == ChunkRef::kBeforeFirst ? 0 : lines;
  return MarksAgree(marks, first.marks, lines) ? lines : 0;
}

// Lines at the stretch's end vouched for by what comes before `before` in
// its run: the first chunk of a log (checked line by line), or, for a log
// that begins inside the stretch, the run's chunks it may be a later part of
// (checked at its last line).
uint64_t BackHeld(const Ledger& ledger, std::string_view text, std::span<const LineChunk> chunks,
                  const UnmatchedStretch& stretch, ChunkRef before, uint64_t front,
                  const ContentStart& start) {
  const LedgerRun& run = ledger.runs()[before.run];
  if (before.pos == 0) return 0;
  const uint64_t lines = LinesOf(chunks, stretch.first, stretch.end);
  const LedgerChunk& head = run.chunks[0];
  if (run.first_line && before.pos == 1 && head.lines <= lines - front) {
    const size_t from = LineStartAfter(text, chunks[stretch.first].begin, lines - head.lines);
    if (LinesDigest(text, from, head.lines) == head.digest) return head.lines;
  }
  const bool log_begins_inside = stretch.first == 0 && start.log_start && !start.own_lines;
  return log_begins_inside && lines <= run.LinesFrom(0, before.pos) &&
                 LastLineBits(run.chunks[before.pos - 1].digest) ==
                     LineBits(LastLineOf(text, chunks[stretch.end - 1]))
             ? lines
             : 0;
}

// True when the stretch stands between two chunks of one run where as many
// other lines stood, with the first or the last of them the same: the same
// log, edited in place.
bool EditedInPlace(const Ledger& ledger, std::string_view text, std::span<const LineChunk> chunks,
                   const UnmatchedStretch& stretch, ChunkRef after, ChunkRef before) {
  if (after.pos == ChunkRef::kBeforeFirst || after.run != before.run || before.pos <= after.pos + 1)
    return false;
  const LedgerRun& run = ledger.runs()[after.run];
  const bool first_same = FirstLineBits(run.chunks[after.pos + 1].digest) ==
                          LineBits(FirstLineOf(text, chunks[stretch.first]));
  const bool last_same = LastLineBits(run.chunks[before.pos - 1].digest) ==
                         LineBits(LastLineOf(text, chunks[stretch.end - 1]));
  return LinesOf(chunks, stretch.first, stretch.end) == run.LinesFrom(after.pos + 1, before.pos) &&
         (first_same || last_same);
}

// Spreads `front` lines over the stretch's chunks from its beginning and
// `back` from its end.
void Spread(ChunkMatch& match, std::span<const LineChunk> chunks, const UnmatchedStretch& stretch,
            uint64_t front, uint64_t back) {
  for (size_t i = stretch.first; i < stretch.end && front > 0; ++i) {
    match.covers[i].front = static_cast<uint32_t>(std::min<uint64_t>(front, chunks[i].lines));
    front -= match.covers[i].front;
  }
  for (size_t i = stretch.end; i-- > stretch.first && back > 0;) {
    const uint32_t room = chunks[i].lines - match.covers[i].front;
    match.covers[i].back = static_cast<uint32_t>(std::min<uint64_t>(back, room));
    back -= match.covers[i].back;
  }
}

void MatchStretch(ChunkMatch& match, const Ledger& ledger, std::string_view text,
                  std::span<const LineChunk> chunks, UnmatchedStretch stretch,
                  const std::vector<std::optional<ChunkRef>>& held, const ContentStart& start) {
  const uint64_t lines = LinesOf(chunks, stretch.first, stretch.end);
  uint64_t front = 0;
  const std::vector<ChunkRef> places = PlacesBefore(ledger, text, stretch.first, held, start);
  for (const ChunkRef& place : places) {
    front = FrontHeld(ledger, text, chunks, stretch, place, start);
    if (front > 0) {
      stretch.after = place;
      break;
    }
  }
  if (!stretch.after && !places.empty()) stretch.after = places.front();
  uint64_t back = 0;
  if (stretch.end < chunks.size()) {
    const ChunkRef before = *held[stretch.end];
    if (front < lines) back = BackHeld(ledger, text, chunks, stretch, before, front, start);
    if (stretch.first > 0 && !start.own_lines &&
        EditedInPlace(ledger, text, chunks, stretch, *held[stretch.first - 1], before))
      front = lines;
  }
  Spread(match, chunks, stretch, front, std::min(back, lines - front));
  match.stretches.push_back(stretch);
}

// True when the chunk at `place` follows the text's chunk before chunk `i`
// (or the text's beginning) in its run: the text goes on there.
bool FollowsInItsRun(const Ledger& ledger, const std::vector<std::optional<ChunkRef>>& held,
                     size_t i, ChunkRef place, const ContentStart& start) {
  if (i > 0)
    return held[i - 1] && held[i - 1]->run == place.run && held[i - 1]->pos + 1 == place.pos;
  if (place.pos == 0) return start.log_start;
  if (!start.anchor) return false;
  for (const ChunkRef& anchor : ledger.Find(*start.anchor))
    if (anchor.run == place.run && anchor.pos + 1 == place.pos) return true;
  return false;
}

// True when chunk `i`, held by the ledger, is held only as the open end of
// runs it does not go on in: a copy of a log's unfinished end after other
// lines. Once that log grows, its open end gives way to the longer chunk and
// the ledger would forget these lines, so the text learns the chunk as its own.
bool HeldOnlyByAnotherOpenEnd(const Ledger& ledger, std::span<const LineChunk> chunks,
                              const std::vector<std::optional<ChunkRef>>& held, size_t i,
                              const ContentStart& start) {
  // True when the chunk at `place` is an open end that a longer chunk may replace.
  auto can_grow = [&](ChunkRef place) {
    const LedgerRun& run = ledger.runs()[place.run];
    return run.open && place.pos + 1 == run.chunks.size() &&
           (place.pos > 0 || run.first_line.has_value());
  };
  // Most chunks are held where they stay: the other places need no look-up.
  if (!can_grow(*held[i])) return false;
  for (const ChunkRef& place : ledger.Find(chunks[i].digest))
    if (!can_grow(place) || FollowsInItsRun(ledger, held, i, place, start)) return false;
  return true;
}

// Adds held chunk `i` to the chunks the text learns: to the stretch just
// before it, or as a stretch of its own after the chunk before it.
void LearnHeldChunk(ChunkMatch& match, const std::vector<std::optional<ChunkRef>>& held, size_t i) {
  if (!match.stretches.empty() && match.stretches.back().end == i) {
    match.stretches.back().end = i + 1;
    return;
  }
  UnmatchedStretch stretch;
  stretch.first = i;
  stretch.end = i + 1;
  if (i > 0) stretch.after = held[i - 1];
  match.stretches.push_back(stretch);
}

}  // namespace

ChunkMatch MatchChunks(const Ledger& ledger, std::string_view text, std::string_view line_end,
                       std::span<const LineChunk> chunks, const ContentStart& start) {
  ChunkMatch match;
  match.covers.resize(chunks.size());
  // Each chunk the ledger holds, an n-th occurrence of a digest by its n-th place.
  std::vector<std::optional<ChunkRef>> held(chunks.size());
  std::unordered_map<uint64_t, size_t> seen;
  for (size_t i = 0; i < chunks.size(); ++i) {
    const std::span<const ChunkRef> places = ledger.Find(chunks[i].digest);
    const size_t n = places.empty() ? 0 : seen[chunks[i].digest]++;
    if (n < places.size()) {
      held[i] = places[n];
      match.covers[i].matched = true;
    }
  }
  uint64_t known = start.known;
  if (start.log_start && !ledger.prefixes().empty()) {
    const PrefixMatch prefix = MatchPrefixes(ledger, text, line_end);
    known = std::max(known, prefix.bytes);
    match.prefixes = prefix.entries;
  }
  for (size_t i = 0; i < chunks.size() && chunks[i].begin < known; ++i)
    match.covers[i].known = LinesStartingBefore(text, chunks[i], known);
  for (size_t i = 0; i < chunks.size();) {
    if (match.covers[i].matched) {
      if (HeldOnlyByAnotherOpenEnd(ledger, chunks, held, i, start)) LearnHeldChunk(match, held, i);
      ++i;
      continue;
    }
    UnmatchedStretch stretch;
    stretch.first = stretch.end = i;
    while (stretch.end < chunks.size() && !match.covers[stretch.end].matched) ++stretch.end;
    i = stretch.end;
    MatchStretch(match, ledger, text, chunks, stretch, held, start);
  }
  return match;
}

void RecordChunks(Ledger& ledger, std::string_view text, std::span<const LineChunk> chunks,
                  const ChunkMatch& match, const ContentStart& start, uint64_t size,
                  std::string_view name) {
  // Every stretch is learnt, also one held whole by a guess: the same text
  // planned again is then held by its chunks, whatever other runs the ledger
  // has learnt meanwhile, and its lines are never folded a second time.
  for (const UnmatchedStretch& stretch : match.stretches) {
    std::vector<LedgerChunk> learnt_chunks;
    std::string marks;  // none for the listener's day files
    for (size_t i = stretch.first; i < stretch.end; ++i) {
      learnt_chunks.push_back(LedgerChunk{chunks[i].digest, chunks[i].lines});
      if (!start.own_lines) marks += chunks[i].marks;
    }
    const bool open = !chunks[stretch.end - 1].complete;
    if (stretch.after) {
      const LedgerRun& run = ledger.runs()[stretch.after->run];
      const bool run_ends_there = stretch.after->Next() == run.chunks.size() && !run.open;
      if (stretch.ends_open_end || run_ends_there) {
        ledger.Extend(stretch.after->run, stretch.ends_open_end, learnt_chunks, marks, open, size,
                      name);
        continue;
      }
    }
    LedgerRun run;
    if (stretch.first == 0 && start.log_start) run.first_line = LineKey(FirstLine(text));
    run.open = open;
    run.size = size;
    run.name = std::string(name);
    run.chunks = std::move(learnt_chunks);
    run.marks = std::move(marks);
    ledger.AddRun(std::move(run));
  }
  ledger.DropPrefixes(match.prefixes);
}

}  // namespace varnokel
