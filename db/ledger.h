// The ledger of a database: which log contents are folded into it and how
// many of their bytes. A log is known by its content alone (not its name or
// place): an entry holds the SHA-256 of the first `length` bytes of a log's
// content, so a copied or renamed log finds its entry, a log that has grown
// since finds the entry of its beginning, and two different contents never
// share one.
//
// The file ".ledger" in the database folder (a dot name, so no listing, page
// or deletion of players counts it) holds one line per log:
//
//   <SHA-256, 64 hex digits> <length> <file name, percent-escaped>
//
// after a comment line. The file name is the one the log was last folded
// under, for people reading the file; it plays no part in finding an entry.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/content_hash.h"

namespace varnokel {

inline constexpr std::string_view kLedgerFileName = ".ledger";

struct LedgerEntry {
  Digest prefix{};      // SHA-256 of the first `length` bytes of the content
  uint64_t length = 0;  // bytes folded; never 0
  std::string name;
};

// A log's content as the buffer holds it: its text and the line end taken
// off its end.
struct LogContent {
  std::string_view text;
  std::string_view line_end;
  uint64_t size() const { return text.size() + line_end.size(); }
};

// What the ledger knows of one content.
struct LedgerMatch {
  uint64_t folded = 0;          // bytes of its beginning already folded
  std::optional<size_t> entry;  // the entry that says so
  ContentHash hash;             // the SHA-256 state after the first `hashed` bytes
  uint64_t hashed = 0;
};

// SHA-256 of the whole content, going on from what `match` hashed.
Digest WholeDigest(const LedgerMatch& match, const LogContent& content);

class Ledger {
 public:
  // The ledger of `database_dir`; empty when the file does not exist. Throws
  // FileError naming the file when it cannot be read or a line is damaged
  // (folding on without it could count logs twice).
  static Ledger Read(const std::filesystem::path& database_dir);
  static Ledger Parse(std::string_view bytes, const std::filesystem::path& file);

  std::string Format() const;

  // The longest entry that is a beginning of `content`; hashes the content
  // only as far as the longest entry that could be one.
  LedgerMatch Match(const LogContent& content) const;

  // Records that the first `length` bytes of a content (with `prefix` their
  // SHA-256) are folded: entry `grows` (the one that held its beginning)
  // grows, or a new entry is added. Returns the entry's index.
  size_t Record(std::optional<size_t> grows, const Digest& prefix, uint64_t length,
                std::string_view name);

  const std::vector<LedgerEntry>& entries() const { return entries_; }

 private:
  std::vector<LedgerEntry> entries_;
};

// SHA-256 of the first `length` bytes of `content`.
Digest PrefixDigest(const LogContent& content, uint64_t length);

}  // namespace varnokel
