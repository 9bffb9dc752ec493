// SPDX-License-Identifier: GPL-3.0-or-later
// Log intake: the process-wide LogBuffer that collects every loaded log file.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/byte_buffer.h"
#include "log/line_count.h"

namespace varnokel {

// Status text after a log file was loaded (replaces the status line).
inline constexpr std::string_view kStatusLogLoaded = "Logfile fertig...";

// A file not changed for this long is finished: a last line without a line
// end is complete as it stands (the server that wrote it has stopped).
inline constexpr std::chrono::minutes kSettledAfter{10};

// One loaded file's part of the buffer. Its content, the bytes that identify
// it in a database's ledger, is text() + line_end: the whole file, NUL bytes
// included (when loaded for complete lines only, up to its last LF).
struct LoadedLog {
  std::string name;              // the file's name without its folder
  size_t offset = 0;             // where its text starts in LogBuffer::text()
  size_t size = 0;               // bytes of text
  std::string line_end;          // the final line end taken off ("\r\n", "\n" or "")
  LineIndex line_index;          // its LF characters: it has line_ends() + 1 lines
  std::filesystem::path source;  // the file it was loaded from (empty: appended text)
  std::string server;            // the game server that wrote it (empty: not known)
  bool settled = true;           // unchanged for kSettledAfter when loaded (appended text always)
};

// How much of a file LoadLogFile takes.
enum class LoadMode {
  kWhole,          // everything
  kCompleteLines,  // only up to the last line end: a line still being written waits
};

// Every log file loaded since the program started (or since Clear), in
// loading order. Each file contributes its text without its own final line
// end, and contributions are joined by CR LF, so the last line of one file
// never merges with the first line of the next. A run of NUL bytes in the
// text ends a line as a line end would (log_lines.h); the text keeps it.
class LogBuffer {
 public:
  // Appends one file's contribution (already stripped, see LogContribution)
  // under an empty name.
  void Append(std::string_view contribution);

  // Loads the file at `file` straight into the end of the buffer; a gzip
  // file as its uncompressed bytes. Throws FileError(kOpen) naming the file
  // (also for damaged gzip data); the buffer is then unchanged.
  void AppendFile(const std::filesystem::path& file, LoadMode mode = LoadMode::kWhole);

  // Loads the complete lines of `file` from byte `from` on (a line start) as
  // one log under `name`: the part of a log that grew since it was last read.
  // Of a longer part only the lines within its first `most` bytes are taken
  // (at least the first line), as if the file ended after them. False, and
  // the buffer unchanged, when that part holds no complete line. Throws
  // FileError(kOpen) naming the file; the buffer is then unchanged.
  bool AppendFilePart(const std::filesystem::path& file, uint64_t from, std::string name,
                      uint64_t most = kWholePart);
  static constexpr uint64_t kWholePart = UINT64_MAX;

  // Empties the buffer ("Logfile reset"); the server label stays.
  void Clear();

  // The game server the logs loaded from now on come from (empty: not known).
  void SetServer(std::string server) { server_ = std::move(server); }

  std::string_view text() const { return text_.view(); }
  size_t file_count() const { return logs_.size(); }
  const std::vector<LoadedLog>& logs() const { return logs_; }
  std::string_view LogText(const LoadedLog& log) const {
    return text().substr(log.offset, log.size);
  }

 private:
  // Records the bytes from `offset` to the end as one more log, cut as the
  // contribution rules say.
  void FinishLog(std::string name, size_t offset, LoadMode mode);

  ByteBuffer text_;
  std::vector<LoadedLog> logs_;
  std::string server_;
};

// What a file with these bytes contributes: the bytes without a final LF (and
// one CR directly before it) if the file ends so.
std::string_view LogContribution(std::string_view file_bytes);

// Loads the whole file at `file` into `buffer` and returns the line for the
// loaded-files list: the file's name without its folder, followed by CR LF.
// Throws FileError(kOpen) naming the file; the buffer is then unchanged.
std::string LoadLogFile(LogBuffer& buffer, const std::filesystem::path& file,
                        LoadMode mode = LoadMode::kWhole);

}  // namespace varnokel
