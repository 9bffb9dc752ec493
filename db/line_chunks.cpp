#include "db/line_chunks.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "base/parallel_stretches.h"

namespace varnokel {

namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kChainSeed = 0x243F6A8885A308D3ull;
constexpr size_t kBlockBytes = size_t{1} << 20;  // text scanned on one thread at least
constexpr unsigned kMarkBits = 3;
constexpr unsigned kMarkShift = 48;  // below the top eight bits, which its chunk's edges keep
constexpr unsigned kMarkMask = (1u << kMarkBits) - 1;

// The line without its line end.
std::string_view Bare(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

uint64_t Mix(uint64_t h) {
  h ^= h >> 32;
  h *= kMultiplier;
  h ^= h >> 29;
  return h;
}

// A fast hash of a line (without its line end), eight bytes at a time.
uint64_t LineHash(std::string_view line) {
  uint64_t h = line.size() * kMultiplier;
  size_t i = 0;
  for (; i + 8 <= line.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, line.data() + i, 8);
    h = (h ^ word) * kMultiplier;
    h ^= h >> 29;
  }
  uint64_t rest = 0;
  if (i < line.size()) std::memcpy(&rest, line.data() + i, line.size() - i);
  return Mix((h ^ Mix(rest)) * kMultiplier);
}

// The end of the line starting at `start`: after its LF, or the text's end.
size_t LineEnd(std::string_view text, size_t start) {
  if (start >= text.size()) return text.size();  // an empty text may have no data at all
  const void* lf = std::memchr(text.data() + start, '\n', text.size() - start);
  return lf == nullptr ? text.size() : static_cast<const char*>(lf) - text.data() + 1;
}

// The digest of lines with these hashes, in order: a chain of their hashes,
// and the top bits of the first and of the last.
class ChunkDigest {
 public:
  void Add(uint64_t line_hash) {
    if (lines_++ == 0) first_ = line_hash;
    last_ = line_hash;
    chain_ = Mix((chain_ ^ line_hash) * kMultiplier);
  }
  uint64_t Value() const {
    return (Mix(chain_ ^ lines_) & ~uint64_t{0xFFFF}) | (first_ >> 56) << 8 | last_ >> 56;
  }

 private:
  uint64_t chain_ = kChainSeed;
  uint64_t lines_ = 0;
  uint64_t first_ = 0;
  uint64_t last_ = 0;
};

// A chunk being cut: its lines so far and their digest.
struct OpenChunk {
  LineChunk chunk;
  ChunkDigest digest;

  void Add(uint64_t line_hash, size_t line_end) {
    const auto mark = static_cast<char>(line_hash >> kMarkShift & kMarkMask);
    if (chunk.lines++ % 2 == 0)
      chunk.marks += mark;
    else
      chunk.marks.back() = static_cast<char>(chunk.marks.back() | mark << kMarkBits);
    chunk.end = line_end;
    digest.Add(line_hash);
  }
  LineChunk Close(bool complete) {
    chunk.complete = complete;
    chunk.digest = digest.Value();
    LineChunk closed = std::move(chunk);
    *this = OpenChunk();
    chunk.begin = chunk.end = closed.end;
    return closed;
  }
};

// The lines starting in a block of the text, cut where they can be without
// the blocks before: the lines up to its first boundary line belong to a
// chunk that began before it.
struct BlockCut {
  std::vector<uint64_t> lead;     // hashes of those lines
  size_t lead_end = 0;            // after the last of them
  bool lead_closes = false;       // the last of them is a boundary line
  std::vector<LineChunk> chunks;  // the complete chunks after them
  OpenChunk rest;                 // the lines after the last boundary line
};

// The lines starting in [from, to) of `text`; with `last_is_line` the empty
// line at the text's end too, when `to` is the text's end.
BlockCut CutBlock(std::string_view text, size_t from, size_t to, bool last_is_line) {
  BlockCut cut;
  const bool to_end = to == text.size();
  size_t start = from == 0 ? 0 : LineEnd(text, from - 1);
  cut.lead_end = cut.rest.chunk.begin = cut.rest.chunk.end = start;
  for (; start < to || (last_is_line && to_end && start == text.size());) {
    const size_t next = LineEnd(text, start);
    const uint64_t hash = LineHash(Bare(text.substr(start, next - start)));
    const bool boundary = hash % kMeanChunkLines == 0;
    if (!cut.lead_closes) {
      cut.lead.push_back(hash);
      cut.lead_end = next;
      cut.lead_closes = boundary;
      cut.rest.chunk.begin = cut.rest.chunk.end = next;
    } else {
      cut.rest.Add(hash, next);
      if (boundary) cut.chunks.push_back(cut.rest.Close(true));
    }
    if (next == text.size()) break;
    start = next;
  }
  return cut;
}

}  // namespace

std::vector<LineChunk> ChunkLines(std::string_view text, bool last_is_line) {
  // Each stretch of blocks cut on a thread of its own; then the chunks that
  // span stretches joined.
  const size_t blocks = std::max<size_t>((text.size() + kBlockBytes - 1) / kBlockBytes, 1);
  std::vector<BlockCut> cuts(blocks);
  ForEachStretch(
      blocks,
      [&](size_t from, size_t to) {
        cuts[from] = CutBlock(text, std::min(from * kBlockBytes, text.size()),
                              std::min(to * kBlockBytes, text.size()), last_is_line);
      },
      /*min_items=*/1);
  std::vector<LineChunk> chunks;
  OpenChunk open;
  for (BlockCut& cut : cuts) {
    for (const uint64_t hash : cut.lead) open.Add(hash, cut.lead_end);
    if (!cut.lead_closes) continue;  // no boundary line: the whole stretch goes on the open chunk
    chunks.push_back(open.Close(true));
    chunks.insert(chunks.end(), std::make_move_iterator(cut.chunks.begin()),
                  std::make_move_iterator(cut.chunks.end()));
    open = std::move(cut.rest);
  }
  if (open.chunk.lines > 0) chunks.push_back(open.Close(false));
  return chunks;
}

uint64_t LinesDigest(std::string_view text, size_t begin, size_t lines) {
  ChunkDigest digest;
  for (size_t start = begin; lines > 0; --lines) {
    const size_t next = LineEnd(text, start);
    digest.Add(LineHash(Bare(text.substr(start, next - start))));
    start = next;
  }
  return digest.Value();
}

bool MarksAgree(std::string_view a, std::string_view b, size_t lines) {
  for (size_t i = 0; i < lines; ++i) {
    const unsigned shift = i % 2 == 0 ? 0 : kMarkBits;
    if ((static_cast<unsigned char>(a[i / 2]) >> shift & kMarkMask) !=
        (static_cast<unsigned char>(b[i / 2]) >> shift & kMarkMask))
      return false;
  }
  return true;
}

size_t LineStartAfter(std::string_view text, size_t begin, size_t n) {
  size_t at = begin;
  for (size_t i = 0; i < n && at < text.size(); ++i) at = LineEnd(text, at);
  return at;
}

uint64_t LineKey(std::string_view line) {
  return LineHash(Bare(line));
}

uint64_t LineBits(std::string_view line) {
  return LineKey(line) >> 56;
}

}  // namespace varnokel
