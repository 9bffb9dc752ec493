// SPDX-License-Identifier: GPL-3.0-or-later
// Content-defined chunks of a log's lines: the unit by which a database's
// ledger knows which lines it holds, whatever file carried them.
//
// A line is taken without its line end (LF, and one CR directly before it),
// so a log with LF line ends has the chunks of the same log with CR LF. A
// chunk ends after a boundary line, a line whose own hash is a multiple of
// kMeanChunkLines (one line in that many on average): where chunks end
// depends on the lines alone, not on what came before them nor where the file
// began, so two files that share a stretch of lines share the chunks inside
// it. Lines carry their date and time, so equal chunks of two genuinely
// different logs do not occur.
//
// A chunk's digest is 64 bits: 48 of a hash chained over the 64-bit hashes
// of its lines (each without its line end), then the top 8 bits of the hash
// of its first line and 8 of its last, so that a part of a chunk can be
// checked against the chunk at its edges. Its marks are three more bits of
// each line's hash, so that a beginning of a chunk can be checked line by
// line: two lines to a byte (values 0 to 63, the first line's bits low).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

inline constexpr uint64_t kMeanChunkLines = 40;

struct LineChunk {
  size_t begin = 0;  // in the text: its first line's start
  size_t end = 0;    // after its last line's LF, or the text's end
  uint32_t lines = 0;
  uint64_t digest = 0;    // LinesDigest of its lines
  bool complete = false;  // it ends with a boundary line
  std::string marks;      // MarkBytes(lines) bytes
};

// The bytes of the marks of `lines` lines, and the largest value of one.
inline size_t MarkBytes(size_t lines) {
  return (lines + 1) / 2;
}
inline constexpr unsigned char kMostMark = 63;

// True when the first `lines` lines of two chunks agree by their marks
// (each holds at least that many).
bool MarksAgree(std::string_view a, std::string_view b, size_t lines);

// The lines of `text` cut into chunks. With `last_is_line` false the text is
// empty or ends with LF and nothing after its last LF counts; otherwise the
// text after its last LF is a line too (maybe empty).
std::vector<LineChunk> ChunkLines(std::string_view text, bool last_is_line);

// The digest of `lines` lines (at least one) of `text` from `begin` (a line
// start). The text holds at least that many lines from there (the last may
// lack its LF).
uint64_t LinesDigest(std::string_view text, size_t begin, size_t lines);

// The bits of a digest that stand for its first and its last line.
inline uint64_t FirstLineBits(uint64_t digest) {
  return digest >> 8 & 0xFF;
}
inline uint64_t LastLineBits(uint64_t digest) {
  return digest & 0xFF;
}
// Those bits for a line.
uint64_t LineBits(std::string_view line);

// Where line `n` (0-based) after `begin` starts in `text`.
size_t LineStartAfter(std::string_view text, size_t begin, size_t n);

// A key of one line for finding a log by its first line.
uint64_t LineKey(std::string_view line);

}  // namespace varnokel
