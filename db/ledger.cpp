#include "db/ledger.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "base/file_io.h"
#include "base/hex_text.h"
#include "db/line_chunks.h"

namespace varnokel {

namespace {

constexpr std::string_view kHeader =
    "# Lines folded into this database: runs of chunks (digest, lines, marks) of the logs\n";
constexpr char kRunMark = '>';
constexpr char kPrefixMark = '=';
constexpr std::string_view kBase64 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr size_t kDigestChars = 11;  // 66 bits: the digest's 64 and two zero bits
constexpr size_t kPrefixHexChars = 64;
constexpr size_t kKeyHexChars = 16;
constexpr size_t kShortestChunkLine = kDigestChars + 3;  // digest, blank, lines, LF

bool NeedsEscape(unsigned char c) {
  return c <= ' ' || c == '%' || c == 0x7F;
}

std::string EscapeName(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    if (NeedsEscape(c)) {
      out += '%';
      AppendHexByte(out, c, HexLetters::kUpper);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string UnescapeName(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = i + 2 < text.size() ? HexDigitValue(text[i + 1], /*any_case=*/true) : -1;
    const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2], /*any_case=*/true) : -1;
    if (text[i] == '%' && high >= 0 && low >= 0) {
      out += static_cast<char>(high << 4 | low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string DigestText(uint64_t digest) {
  std::string out(kDigestChars, ' ');
  for (size_t i = 0; i < kDigestChars; ++i) {
    const int shift = 58 - 6 * static_cast<int>(i);  // the last group has two zero bits
    out[i] = kBase64[(shift >= 0 ? digest >> shift : digest << -shift) & 63];
  }
  return out;
}

// The value of each base64url character; kNotBase64 for any other byte.
constexpr int kNotBase64 = -1;
constexpr std::array<int, 256> kBase64Values = [] {
  std::array<int, 256> values{};
  values.fill(kNotBase64);
  for (size_t i = 0; i < kBase64.size(); ++i)
    values[static_cast<unsigned char>(kBase64[i])] = static_cast<int>(i);
  return values;
}();

int Base64Value(char c) {
  return kBase64Values[static_cast<unsigned char>(c)];
}

bool ParseDigestText(std::string_view text, uint64_t& digest) {
  if (text.size() != kDigestChars) return false;
  digest = 0;
  for (size_t i = 0; i < kDigestChars; ++i) {
    const int found = Base64Value(text[i]);
    if (found == kNotBase64) return false;
    const auto value = static_cast<uint64_t>(found);
    if (i + 1 < kDigestChars) {
      digest = digest << 6 | value;
    } else {
      if ((value & 3) != 0) return false;
      digest = digest << 4 | value >> 2;
    }
  }
  return true;
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& value, int base = 10) {
  return !text.empty() &&
         std::from_chars(text.data(), text.data() + text.size(), value, base).ptr ==
             text.data() + text.size();
}

// The line cut at its blanks into at most `count` fields, the last taking
// the rest of the line.
std::vector<std::string_view> Fields(std::string_view line, size_t count) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos) break;
    fields.push_back(line.substr(0, blank));
    line.remove_prefix(blank + 1);
  }
  fields.push_back(line);
  return fields;
}

bool ParsePrefix(std::string_view line, PrefixEntry& entry) {
  const std::vector<std::string_view> f = Fields(line, 3);
  if (f.size() != 3 || !ParseDigestHex(f[0], entry.prefix) || !ParseNumber(f[1], entry.length) ||
      entry.length == 0)
    return false;
  entry.name = UnescapeName(f[2]);
  return true;
}

bool ParseRun(std::string_view line, LedgerRun& run) {
  const std::vector<std::string_view> f = Fields(line, 4);
  if (f.size() != 4 || (f[1] != "0" && f[1] != "1") || !ParseNumber(f[2], run.size)) return false;
  if (f[0] != "-") {
    uint64_t key = 0;
    if (f[0].size() != kKeyHexChars || !ParseNumber(f[0], key, 16)) return false;
    run.first_line = key;
  }
  run.open = f[1] == "1";
  run.name = UnescapeName(f[3]);
  return true;
}

// A chunk's line; its marks, when it has them, are appended to `marks`.
bool ParseChunk(std::string_view line, LedgerChunk& chunk, std::string& marks, bool& has_marks) {
  const std::vector<std::string_view> f = Fields(line, 3);
  if (f.size() < 2 || !ParseDigestText(f[0], chunk.digest) || !ParseNumber(f[1], chunk.lines) ||
      chunk.lines == 0)
    return false;
  has_marks = f.size() == 3;
  if (!has_marks) return true;
  if (f[2].size() != MarkBytes(chunk.lines)) return false;
  for (const char c : f[2]) {
    const int value = Base64Value(c);
    if (value == kNotBase64) return false;
    marks += static_cast<char>(value);
  }
  return true;
}

std::string KeyText(uint64_t key) {
  return HexOfNumber(key, kKeyHexChars);
}

}  // namespace

uint64_t LedgerRun::LinesFrom(size_t first, size_t end) const {
  uint64_t lines = 0;
  for (size_t i = first; i < end && i < chunks.size(); ++i) lines += chunks[i].lines;
  return lines;
}

size_t LedgerRun::MarkBytesBefore(size_t pos) const {
  size_t bytes = 0;
  for (size_t i = 0; i < pos && i < chunks.size(); ++i) bytes += MarkBytes(chunks[i].lines);
  return bytes;
}

std::string_view LedgerRun::MarksOf(size_t pos) const {
  if (marks.empty() || pos >= chunks.size()) return {};
  const size_t at = MarkBytesBefore(pos);
  const size_t bytes = MarkBytes(chunks[pos].lines);
  return at + bytes <= marks.size() ? std::string_view(marks).substr(at, bytes)
                                    : std::string_view();
}

Ledger Ledger::Read(const std::filesystem::path& database_dir) {
  const std::filesystem::path file = database_dir / kLedgerFileName;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file))) return Ledger();
  std::string bytes;
  AppendFileBytes(bytes, file, /*follow_links=*/false);
  return Parse(bytes, file);
}

Ledger Ledger::Parse(std::string_view bytes, const std::filesystem::path& file) {
  Ledger ledger;
  ledger.places_.reserve(bytes.size() / kShortestChunkLine);
  size_t line_number = 0;
  bool run_marked = false;  // every chunk of the last run so far came with marks
  while (!bytes.empty()) {
    const size_t lf = bytes.find('\n');
    const std::string_view line = bytes.substr(0, lf);
    bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
    ++line_number;
    if (line.empty() || line.front() == '#') continue;
    bool good = false;
    if (line.front() == kRunMark && line.size() > 2) {
      LedgerRun run;
      good = line[1] == ' ' && ParseRun(line.substr(2), run);
      if (good) ledger.runs_.push_back(std::move(run));
    } else if (line.front() == kPrefixMark && line.size() > 2) {
      PrefixEntry entry;
      good = line[1] == ' ' && ParsePrefix(line.substr(2), entry);
      if (good) ledger.prefixes_.push_back(std::move(entry));
    } else if (line.find(' ') == kPrefixHexChars) {  // a line written before chunks
      PrefixEntry entry;
      good = ParsePrefix(line, entry);
      if (good) ledger.prefixes_.push_back(std::move(entry));
    } else {
      LedgerChunk chunk;
      bool has_marks = false;
      good = !ledger.runs_.empty() && ParseChunk(line, chunk, ledger.runs_.back().marks, has_marks);
      if (good) {
        LedgerRun& run = ledger.runs_.back();
        run_marked = (run.chunks.empty() || run_marked) && has_marks;
        if (!run_marked) run.marks.clear();
        run.chunks.push_back(chunk);
        ledger.Index(ledger.runs_.size() - 1, run.chunks.size() - 1);
      }
    }
    if (!good) {
      throw FileError(FileError::Kind::kOpen, file,
                      "besch\xC3\xA4"
                      "digt in Zeile " +
                          std::to_string(line_number));
    }
  }
  return ledger;
}

std::string Ledger::Format() const {
  std::string out(kHeader);
  for (const LedgerRun& run : runs_) {
    out += kRunMark;
    out += ' ';
    out += run.first_line ? KeyText(*run.first_line) : "-";
    out += run.open ? " 1 " : " 0 ";
    out += std::to_string(run.size);
    out += ' ';
    out += EscapeName(run.name);
    out += '\n';
    size_t mark = 0;
    const bool marked =
        !run.marks.empty() && run.marks.size() == run.MarkBytesBefore(run.chunks.size());
    for (const LedgerChunk& chunk : run.chunks) {
      out += DigestText(chunk.digest);
      out += ' ';
      out += std::to_string(chunk.lines);
      if (marked) {
        out += ' ';
        for (const size_t end = mark + MarkBytes(chunk.lines); mark < end; ++mark)
          out += kBase64[static_cast<unsigned char>(run.marks[mark]) & kMostMark];
      }
      out += '\n';
    }
  }
  for (const PrefixEntry& entry : prefixes_) {
    out += kPrefixMark;
    out += ' ';
    out += DigestHex(entry.prefix);
    out += ' ';
    out += std::to_string(entry.length);
    out += ' ';
    out += EscapeName(entry.name);
    out += '\n';
  }
  return out;
}

std::span<const ChunkRef> Ledger::Find(uint64_t digest) const {
  const auto it = places_.find(digest);
  if (it == places_.end()) return {};
  return it->second;
}

std::vector<size_t> Ledger::RunsStartingWith(uint64_t key) const {
  std::vector<size_t> found;
  for (size_t i = 0; i < runs_.size(); ++i) {
    if (runs_[i].first_line == key) found.push_back(i);
  }
  return found;
}

size_t Ledger::AddRun(LedgerRun run) {
  runs_.push_back(std::move(run));
  const size_t index = runs_.size() - 1;
  for (size_t pos = 0; pos < runs_[index].chunks.size(); ++pos) Index(index, pos);
  return index;
}

void Ledger::Extend(size_t run, bool replace_open_end, std::span<const LedgerChunk> chunks,
                    std::string_view marks, bool open, uint64_t size, std::string_view name) {
  LedgerRun& target = runs_[run];
  const bool marked = !target.marks.empty() && !marks.empty();
  if (replace_open_end && target.open && !target.chunks.empty()) {
    std::vector<ChunkRef>& places = places_[target.chunks.back().digest];
    std::erase_if(places, [&](const ChunkRef& ref) {
      return ref.run == run && ref.pos == target.chunks.size() - 1;
    });
    if (marked) target.marks.resize(target.marks.size() - MarkBytes(target.chunks.back().lines));
    target.chunks.pop_back();
  }
  for (const LedgerChunk& chunk : chunks) {
    target.chunks.push_back(chunk);
    Index(run, target.chunks.size() - 1);
  }
  if (marked)
    target.marks += marks;
  else
    target.marks.clear();
  target.open = open;
  target.size = size;
  target.name = std::string(name);
}

void Ledger::DropPrefixes(std::vector<size_t> indices) {
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  for (auto it = indices.rbegin(); it != indices.rend(); ++it)
    prefixes_.erase(prefixes_.begin() + static_cast<std::ptrdiff_t>(*it));
}

void Ledger::Index(size_t run, size_t pos) {
  places_[runs_[run].chunks[pos].digest].push_back(ChunkRef{run, pos});
}

PrefixMatch MatchPrefixes(const Ledger& ledger, std::string_view text, std::string_view line_end) {
  // The entries short enough to be a beginning, shortest first: one pass of
  // the hash passes every length they need.
  const uint64_t size = text.size() + line_end.size();
  std::vector<size_t> candidates;
  for (size_t i = 0; i < ledger.prefixes().size(); ++i) {
    if (ledger.prefixes()[i].length <= size) candidates.push_back(i);
  }
  std::sort(candidates.begin(), candidates.end(), [&](size_t a, size_t b) {
    return ledger.prefixes()[a].length < ledger.prefixes()[b].length;
  });
  PrefixMatch match;
  ContentHash hash;
  uint64_t hashed = 0;
  for (size_t i : candidates) {
    const PrefixEntry& entry = ledger.prefixes()[i];
    if (entry.length > hashed) {
      const uint64_t in_text = std::min<uint64_t>(entry.length, text.size());
      if (in_text > hashed) hash.Add(text.substr(hashed, in_text - hashed));
      if (entry.length > text.size())
        hash.Add(line_end.substr(std::max<uint64_t>(hashed, text.size()) - text.size(),
                                 entry.length - std::max<uint64_t>(hashed, text.size())));
      hashed = entry.length;
    }
    if (hash.Value() == entry.prefix) {
      match.bytes = std::max(match.bytes, entry.length);
      match.entries.push_back(i);
    }
  }
  return match;
}

}  // namespace varnokel
