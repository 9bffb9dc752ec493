// SPDX-License-Identifier: GPL-3.0-or-later
// The ledger of a database: which log lines are folded into it, known by
// their content alone (not the file that carried them, its name or place).
//
// The lines are known in content-defined chunks (db/line_chunks.h): a chunk
// whose digest the ledger holds is folded, in whatever file it turns up, as
// often as the ledger holds it. The ledger keeps the chunks of each log in
// runs, in the order the log has them, so that the lines of a chunk only
// partly met again can be told: the incomplete last chunk of a log that grew
// since, the first chunk of a log that another one ends with, an older copy
// of a log that ends inside a chunk folded since, a chunk edited in place.
//
// The file ".ledger" in the database folder (a dot name, so no listing, page
// or deletion of players counts it) is text. After a comment line, each run
// starts with a line
//
//   > <first line key, 16 hex digits, or -> <open: 0 or 1> <bytes> <file name>
//
// the key naming the first line of the log when the run starts with the log's
// beginning, "open" saying that its last chunk is the log's incomplete end,
// and bytes and (percent-escaped) file name telling people which log the run
// was last folded from. Then one line per chunk:
//
//   <digest: 11 characters, 64 bits in base64url> <lines> [<marks>]
//
// the marks (db/line_chunks.h) one base64url character per byte, kept for
// the chunks of logs read from files (a copy may end inside any of them) and
// left out for the listener's day files, whose lines are their sender's own;
// a run keeps them for all its chunks or for none.
//
// Ledgers written before chunks knew a log by the SHA-256 of its first bytes,
// one line per log: "<SHA-256, 64 hex digits> <bytes> <file name>". Such
// lines are read and kept (written on as "= <SHA-256> <bytes> <file name>")
// until the log turns up again; its chunks then take their place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/content_hash.h"

namespace varnokel {

inline constexpr std::string_view kLedgerFileName = ".ledger";

struct LedgerChunk {
  uint64_t digest = 0;
  uint32_t lines = 0;
  bool operator==(const LedgerChunk&) const = default;
};

// Chunks that follow one another in a log.
struct LedgerRun {
  std::optional<uint64_t> first_line;  // LineKey of the log's first line, when it starts there
  bool open = false;                   // its last chunk is the log's incomplete end
  uint64_t size = 0;                   // bytes of the log it was last folded from
  std::string name;                    // that log's file name
  std::vector<LedgerChunk> chunks;
  std::string marks;  // the marks of each chunk in turn; empty when not known

  uint64_t LinesFrom(size_t first, size_t end) const;
  // The marks of the chunk at `pos`; empty when not known.
  std::string_view MarksOf(size_t pos) const;
  // The bytes the marks of the chunks before `pos` take (of all: pos = chunks.size()).
  size_t MarkBytesBefore(size_t pos) const;
  bool operator==(const LedgerRun&) const = default;
};

// A log known the way ledgers knew logs before chunks.
struct PrefixEntry {
  Digest prefix{};      // SHA-256 of the first `length` bytes of the content
  uint64_t length = 0;  // never 0
  std::string name;
  bool operator==(const PrefixEntry&) const = default;
};

// A chunk's place: run and position in it. kBeforeFirst as position stands
// for the beginning of the run's log.
struct ChunkRef {
  static constexpr size_t kBeforeFirst = static_cast<size_t>(-1);
  size_t run = 0;
  size_t pos = 0;
  size_t Next() const { return pos == kBeforeFirst ? 0 : pos + 1; }
};

class Ledger {
 public:
  // The ledger of `database_dir`; empty when the file does not exist. Throws
  // FileError naming the file when it cannot be read or a line is damaged
  // (folding on without it could count logs twice).
  static Ledger Read(const std::filesystem::path& database_dir);
  static Ledger Parse(std::string_view bytes, const std::filesystem::path& file);

  std::string Format() const;
  // True when both hold the same runs and prefix entries (and so Format the same).
  bool operator==(const Ledger& other) const {
    return runs_ == other.runs_ && prefixes_ == other.prefixes_;
  }

  const std::vector<LedgerRun>& runs() const { return runs_; }
  const std::vector<PrefixEntry>& prefixes() const { return prefixes_; }

  // Every place of the chunk with `digest`, in the order the ledger has them.
  std::span<const ChunkRef> Find(uint64_t digest) const;
  // The runs that start with a log whose first line has LineKey `key`.
  std::vector<size_t> RunsStartingWith(uint64_t key) const;

  // Adds a run; returns its index.
  size_t AddRun(LedgerRun run);
  // Appends `chunks` with their `marks` (empty when not known) to run `run`,
  // first taking its open end off when `replace_open_end`; names the log it
  // was folded from.
  void Extend(size_t run, bool replace_open_end, std::span<const LedgerChunk> chunks,
              std::string_view marks, bool open, uint64_t size, std::string_view name);
  void AddPrefix(PrefixEntry entry) { prefixes_.push_back(std::move(entry)); }
  // Forgets the prefix entries of these indices.
  void DropPrefixes(std::vector<size_t> indices);

 private:
  void Index(size_t run, size_t pos);

  std::vector<LedgerRun> runs_;
  std::vector<PrefixEntry> prefixes_;
  std::unordered_map<uint64_t, std::vector<ChunkRef>> places_;
};

// The longest prefix entries can vouch for: how many bytes at the beginning of
// the content `text` + `line_end` a prefix entry holds, and every entry that
// is a beginning of it.
struct PrefixMatch {
  uint64_t bytes = 0;
  std::vector<size_t> entries;
};
PrefixMatch MatchPrefixes(const Ledger& ledger, std::string_view text, std::string_view line_end);

}  // namespace varnokel
