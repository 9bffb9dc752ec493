// SPDX-License-Identifier: GPL-3.0-or-later
// A log's chunks against a database's ledger: which of its lines the ledger
// holds, and what the ledger learns once they are folded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "db/ledger.h"
#include "db/line_chunks.h"

namespace varnokel {

// Where a log's text stands in its whole log.
struct ContentStart {
  bool log_start = true;           // the text is the log from its beginning
  std::optional<uint64_t> anchor;  // else: the digest of the chunk before it, when known
  uint64_t known = 0;              // bytes at its beginning folded already (a line start)
  // The text is a day file its sender writes (the listener's): its lines are
  // that server's own, never a copy or an edit of another log, so only what
  // the ledger holds line for line (a chunk, a grown open end, a log's first
  // chunk) counts as folded, not what a first or last line suggests.
  bool own_lines = false;
};

// What the ledger holds of one chunk.
struct ChunkCover {
  bool matched = false;  // the chunk itself
  uint32_t front = 0;    // lines at its beginning (when not matched)
  uint32_t back = 0;     // lines at its end
  uint32_t known = 0;    // lines at its beginning held by a prefix entry or the start
};

// A stretch of chunks the ledger does not hold as such (at its end perhaps
// one it holds only as another log's open end), and the place in the ledger
// it goes on from.
struct UnmatchedStretch {
  size_t first = 0;
  size_t end = 0;                 // chunk indices [first, end)
  std::optional<ChunkRef> after;  // the ledger's chunk (or log start) before it
  bool ends_open_end = false;     // its beginning is `after`'s open end, grown
};

struct ChunkMatch {
  std::vector<ChunkCover> covers;  // one per chunk
  std::vector<UnmatchedStretch> stretches;
  std::vector<size_t> prefixes;  // the ledger's prefix entries that are a beginning of the text
};

// Matches the chunks of `text` (ChunkLines) against `ledger`: a chunk the
// ledger holds is held (each occurrence of a digest once); of a stretch of
// others, the lines it can vouch for by the chunks around it: the grown open
// end of a run, the first chunk of a log that the stretch ends with, a copy
// of a log that ends (or begins) inside a chunk folded since, a stretch
// edited in place between two held chunks of one run. A chunk held only as
// the open end of runs the text does not go on in is learnt with the
// stretches, so that those runs growing does not take it from the text.
// `line_end` is the line end taken off the text's end (for prefix entries).
ChunkMatch MatchChunks(const Ledger& ledger, std::string_view text, std::string_view line_end,
                       std::span<const LineChunk> chunks, const ContentStart& start);

// The ledger after the lines of `text` are folded as `match` says: each
// stretch (also one that a guess held whole) goes on from its run, or starts
// one; the prefix entries give way to the chunks.
// `size` and `name` tell which log the runs were folded from.
void RecordChunks(Ledger& ledger, std::string_view text, std::span<const LineChunk> chunks,
                  const ChunkMatch& match, const ContentStart& start, uint64_t size,
                  std::string_view name);

}  // namespace varnokel
