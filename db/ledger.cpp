#include "db/ledger.h"

#include <algorithm>
#include <charconv>

#include "base/file_io.h"

namespace varnokel {

namespace {

constexpr std::string_view kHeader =
    "# Logs folded into this database: SHA-256 of the folded bytes, their count, file name\n";

bool NeedsEscape(unsigned char c) {
  return c <= ' ' || c == '%' || c == 0x7F;
}

std::string EscapeName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if (NeedsEscape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string UnescapeName(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned value = 0;
    if (text[i] == '%' && i + 2 < text.size() &&
        std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16).ptr ==
            text.data() + i + 3) {
      out += static_cast<char>(value);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The hash state over the skipped bytes of `content` (none for a whole one).
ContentHash StartHash(const LogContent& content) {
  return content.skipped_hash != nullptr ? *content.skipped_hash : ContentHash();
}

// Feeds `content` to `hash` from byte `from` up to byte `to`, both counted
// from the content's start and at least its skipped bytes.
void AddRange(ContentHash& hash, const LogContent& content, uint64_t from, uint64_t to) {
  from -= content.skipped;
  to -= content.skipped;
  const uint64_t text_size = content.text.size();
  if (from < text_size) {
    const uint64_t end = std::min(to, text_size);
    hash.Add(content.text.substr(from, end - from));
    from = end;
  }
  if (from < to) hash.Add(content.line_end.substr(from - text_size, to - from));
}

}  // namespace

Ledger Ledger::Read(const std::filesystem::path& database_dir) {
  const std::filesystem::path file = database_dir / kLedgerFileName;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file))) return Ledger();
  std::string bytes;
  AppendFileBytes(bytes, file, /*follow_links=*/false);
  return Parse(bytes, file);
}

Ledger Ledger::Parse(std::string_view bytes, const std::filesystem::path& file) {
  Ledger ledger;
  size_t line_number = 0;
  while (!bytes.empty()) {
    const size_t lf = bytes.find('\n');
    std::string_view line = bytes.substr(0, lf);
    bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
    ++line_number;
    if (line.empty() || line.front() == '#') continue;
    const size_t first = line.find(' ');
    const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    LedgerEntry entry;
    const bool good =
        second != std::string_view::npos && ParseDigestHex(line.substr(0, first), entry.prefix) &&
        std::from_chars(line.data() + first + 1, line.data() + second, entry.length).ptr ==
            line.data() + second &&
        entry.length > 0;
    if (!good) {
      throw FileError(FileError::Kind::kOpen, file,
                      "besch\xC3\xA4"
                      "digt in Zeile " +
                          std::to_string(line_number));
    }
    entry.name = UnescapeName(line.substr(second + 1));
    ledger.entries_.push_back(std::move(entry));
  }
  return ledger;
}

std::string Ledger::Format() const {
  std::string out(kHeader);
  for (const LedgerEntry& entry : entries_) {
    out += DigestHex(entry.prefix);
    out += ' ';
    out += std::to_string(entry.length);
    out += ' ';
    out += EscapeName(entry.name);
    out += '\n';
  }
  return out;
}

LedgerMatch Ledger::Match(const LogContent& content) const {
  // The entries short enough to be a beginning of the content, shortest
  // first: one pass of the hash passes every length they need.
  std::vector<size_t> candidates;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].length >= content.skipped && entries_[i].length <= content.size())
      candidates.push_back(i);
  }
  std::sort(candidates.begin(), candidates.end(),
            [&](size_t a, size_t b) { return entries_[a].length < entries_[b].length; });
  LedgerMatch match;
  match.hash = StartHash(content);
  match.hashed = content.skipped;
  for (size_t i : candidates) {
    const LedgerEntry& entry = entries_[i];
    AddRange(match.hash, content, match.hashed, entry.length);
    match.hashed = entry.length;
    if (match.hash.Value() == entry.prefix && entry.length >= match.folded) {
      match.folded = entry.length;
      match.entry = i;
    }
  }
  return match;
}

size_t Ledger::Record(std::optional<size_t> grows, const Digest& prefix, uint64_t length,
                      std::string_view name) {
  if (grows && length >= entries_[*grows].length) {
    LedgerEntry& entry = entries_[*grows];
    entry.prefix = prefix;
    entry.length = length;
    entry.name = std::string(name);
    return *grows;
  }
  entries_.push_back(LedgerEntry{prefix, length, std::string(name)});
  return entries_.size() - 1;
}

Digest WholeDigest(const LedgerMatch& match, const LogContent& content) {
  ContentHash hash = match.hash;
  AddRange(hash, content, match.hashed, content.size());
  return hash.Value();
}

Digest PrefixDigest(const LogContent& content, uint64_t length) {
  return PrefixHash(content, length).Value();
}

ContentHash PrefixHash(const LogContent& content, uint64_t length) {
  ContentHash hash = StartHash(content);
  AddRange(hash, content, content.skipped, std::clamp(length, content.skipped, content.size()));
  return hash;
}

}  // namespace varnokel
