#include "db/line_chunks.h"

#include <algorithm>
#include <cstring>

#include "base/parallel_stretches.h"

namespace varnokel {

namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kChainSeed = 0x243F6A8885A308D3ull;
constexpr size_t kBlockBytes = size_t{1} << 20;  // text scanned on one thread at least

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
  std::memcpy(&rest, line.data() + i, line.size() - i);
  return Mix((h ^ Mix(rest)) * kMultiplier);
}

// The end of the line starting at `start`: after its LF, or the text's end.
size_t LineEnd(std::string_view text, size_t start) {
  const void* lf = std::memchr(text.data() + start, '\n', text.size() - start);
  return lf == nullptr ? text.size() : static_cast<const char*>(lf) - text.data() + 1;
}

// A line: where it ends (after its LF, or the text's end) and its LineHash.
struct LineMark {
  size_t end = 0;
  uint64_t hash = 0;
};

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

// The lines starting in [from, to) of `text`; with `last_is_line` the empty
// line at the text's end too, when `to` is the text's end.
std::vector<LineMark> MarkLines(std::string_view text, size_t from, size_t to, bool last_is_line) {
  std::vector<LineMark> marks;
  const bool to_end = to == text.size();
  for (size_t start = from == 0 ? 0 : LineEnd(text, from - 1);
       start < to || (last_is_line && to_end && start == text.size());) {
    const size_t next = LineEnd(text, start);
    marks.push_back({next, LineHash(Bare(text.substr(start, next - start)))});
    if (next == text.size()) break;
    start = next;
  }
  return marks;
}

}  // namespace

std::vector<LineChunk> ChunkLines(std::string_view text, bool last_is_line) {
  // The lines and their hashes, a stretch of blocks per thread; then the
  // chunks in one pass over them.
  const size_t blocks = std::max<size_t>((text.size() + kBlockBytes - 1) / kBlockBytes, 1);
  std::vector<std::vector<LineMark>> marks(blocks);
  ForEachStretch(
      blocks,
      [&](size_t from, size_t to) {
        marks[from] = MarkLines(text, std::min(from * kBlockBytes, text.size()),
                                std::min(to * kBlockBytes, text.size()), last_is_line);
      },
      /*min_items=*/1);
  std::vector<LineChunk> chunks;
  LineChunk chunk;
  ChunkDigest digest;
  for (const std::vector<LineMark>& stretch : marks) {
    for (const LineMark& mark : stretch) {
      ++chunk.lines;
      digest.Add(mark.hash);
      if (mark.hash % kMeanChunkLines == 0) {
        chunk.end = mark.end;
        chunk.complete = true;
        chunk.digest = digest.Value();
        chunks.push_back(chunk);
        chunk = LineChunk{mark.end};
        digest = ChunkDigest();
      }
    }
  }
  if (chunk.lines > 0) {
    chunk.end = text.size();
    chunk.digest = digest.Value();
    chunks.push_back(chunk);
  }
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
