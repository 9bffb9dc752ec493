#include "log/line_count.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace varnokel {

namespace {

constexpr size_t kBlock = 16;       // bytes compared at once
constexpr size_t kRunBlocks = 255;  // blocks counted per run: a byte counter holds 255

// Number of set bits of a 16-bit mask, without a library call where the
// machine has no popcount instruction.
uint32_t CountBits(uint32_t bits) {
  bits = bits - ((bits >> 1) & 0x5555);
  bits = (bits & 0x3333) + ((bits >> 2) & 0x3333);
  bits = (bits + (bits >> 4)) & 0x0F0F;
  return (bits + (bits >> 8)) & 0x1F;
}

// A bit for every LF among the 16 bytes at `p`.
uint32_t LineEndBits(const char* p) {
#if defined(__SSE2__)
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))));
#else
  uint32_t bits = 0;
  for (size_t i = 0; i < kBlock; ++i) bits |= static_cast<uint32_t>(p[i] == '\n') << i;
  return bits;
#endif
}

// The LFs of `blocks` whole blocks from `p` (at most kRunBlocks).
size_t CountRun(const char* p, size_t blocks) {
#if defined(__SSE2__)
  // Each matching byte adds one to its lane; the lanes are summed at the end.
  const __m128i lf = _mm_set1_epi8('\n');
  __m128i lanes = _mm_setzero_si128();
  for (size_t i = 0; i < blocks; ++i, p += kBlock) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(bytes, lf));
  }
  const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
  return static_cast<size_t>(_mm_cvtsi128_si32(sums)) +
         static_cast<size_t>(_mm_extract_epi16(sums, 4));
#else
  size_t count = 0;
  for (size_t i = 0; i < blocks; ++i, p += kBlock) count += CountBits(LineEndBits(p));
  return count;
#endif
}

}  // namespace

size_t CountLineEnds(std::string_view text) {
  const char* p = text.data();
  size_t blocks = text.size() / kBlock;
  size_t count = 0;
  while (blocks > 0) {
    const size_t run = std::min(blocks, kRunBlocks);
    count += CountRun(p, run);
    p += run * kBlock;
    blocks -= run;
  }
  for (const char* end = text.data() + text.size(); p < end; ++p) count += *p == '\n';
  return count;
}

size_t FindLineEnd(std::string_view text, size_t n) {
  const char* const begin = text.data();
  const char* p = begin;
  size_t blocks = text.size() / kBlock;
  // Whole runs while the wanted LF lies beyond them, then block by block.
  while (blocks > 0) {
    const size_t run = std::min(blocks, kRunBlocks);
    const size_t here = CountRun(p, run);
    if (n < here) break;
    n -= here;
    p += run * kBlock;
    blocks -= run;
  }
  for (; blocks > 0; --blocks, p += kBlock) {
    uint32_t bits = LineEndBits(p);
    const size_t here = CountBits(bits);
    if (n >= here) {
      n -= here;
      continue;
    }
    for (; n > 0; --n) bits &= bits - 1;  // drop the LFs before the one wanted
    size_t lowest = 0;
    while ((bits & 1) == 0) {
      bits >>= 1;
      ++lowest;
    }
    return static_cast<size_t>(p - begin) + lowest;
  }
  for (const char* end = begin + text.size(); p < end; ++p) {
    if (*p == '\n' && n-- == 0) return static_cast<size_t>(p - begin);
  }
  return std::string_view::npos;
}

LineIndex::LineIndex(std::string_view text) {
  for (size_t at = 0; at < text.size(); at += kStep) {
    total_ += CountLineEnds(text.substr(at, kStep));
    if (at + kStep < text.size()) before_.push_back(total_);
  }
}

size_t LineIndex::CountBefore(std::string_view text, size_t pos) const {
  pos = std::min(pos, text.size());
  const size_t step = std::min(pos / kStep, before_.size() - 1);
  return before_[step] + CountLineEnds(text.substr(step * kStep, pos - step * kStep));
}

size_t LineIndex::Find(std::string_view text, size_t n) const {
  if (n >= total_) return std::string_view::npos;
  // The last step with no more than n line ends before it holds LF n.
  const size_t step =
      static_cast<size_t>(std::upper_bound(before_.begin(), before_.end(), n) - before_.begin()) -
      1;
  return step * kStep + FindLineEnd(text.substr(step * kStep), n - before_[step]);
}

}  // namespace varnokel
