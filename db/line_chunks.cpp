#include "db/line_chunks.h"

#include <cstring>
#include <string>

#include "base/content_hash.h"
#include "base/parallel_stretches.h"

namespace varnokel {

namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
constexpr size_t kChunksPerStretch = 64;  // chunks hashed on one thread at least

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
    h = (h ^ Mix(word)) * kMultiplier;
  }
  uint64_t rest = 0;
  std::memcpy(&rest, line.data() + i, line.size() - i);
  return Mix((h ^ Mix(rest)) * kMultiplier);
}

bool IsBoundary(std::string_view line) {
  return LineHash(line) % kMeanChunkLines == 0;
}

// The end of the line starting at `start`: after its LF, or the text's end.
size_t LineEnd(std::string_view text, size_t start) {
  const void* lf = std::memchr(text.data() + start, '\n', text.size() - start);
  return lf == nullptr ? text.size() : static_cast<const char*>(lf) - text.data() + 1;
}

constexpr int kShaBytes = 6;  // of the digest's 8

// LinesDigest, the lines normalised into `scratch`.
uint64_t Digest64(std::string_view text, size_t begin, size_t lines, std::string& scratch) {
  scratch.clear();
  std::string_view first, last;
  for (size_t start = begin, n = 0; n < lines; ++n) {
    const size_t next = LineEnd(text, start);
    last = Bare(text.substr(start, next - start));
    if (n == 0) first = last;
    scratch.append(last);
    scratch += '\n';
    start = next;
  }
  const Digest digest = HashOf(scratch);
  uint64_t value = 0;
  for (int i = 0; i < kShaBytes; ++i) value = value << 8 | digest[i];
  return (value << 8 | LineBits(first)) << 8 | LineBits(last);
}

}  // namespace

std::vector<LineChunk> ChunkLines(std::string_view text, bool last_is_line) {
  std::vector<LineChunk> chunks;
  LineChunk chunk;
  const size_t end = text.size();
  for (size_t start = 0; start < end || (last_is_line && start == end);) {
    const size_t next = LineEnd(text, start);
    ++chunk.lines;
    if (IsBoundary(Bare(text.substr(start, next - start)))) {
      chunk.end = next;
      chunk.complete = true;
      chunks.push_back(chunk);
      chunk = LineChunk{next};
    }
    if (next == end) {
      if (chunk.lines > 0) {
        chunk.end = end;
        chunks.push_back(chunk);
      }
      break;
    }
    start = next;
  }
  ForEachStretch(
      chunks.size(),
      [&](size_t from, size_t to) {
        std::string scratch;
        for (size_t i = from; i < to; ++i)
          chunks[i].digest = Digest64(text, chunks[i].begin, chunks[i].lines, scratch);
      },
      kChunksPerStretch);
  return chunks;
}

uint64_t LinesDigest(std::string_view text, size_t begin, size_t lines) {
  std::string scratch;
  return Digest64(text, begin, lines, scratch);
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
