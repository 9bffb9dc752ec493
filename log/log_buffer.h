// Log intake: the process-wide LogBuffer that collects every loaded log file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace varnokel {

// Status text after a log file was loaded (replaces the status line).
inline constexpr std::string_view kStatusLogLoaded = "Logfile fertig...";

// Every log file loaded since the program started, in loading order. It only
// grows. Each file contributes its text without its own final line end, and
// contributions are joined by CR LF, so the last line of one file never merges
// with the first line of the next.
class LogBuffer {
 public:
  // Appends one file's contribution (already stripped, see LogContribution).
  // The text ends at a NUL byte, as a loaded file's does, so the buffer never
  // holds one.
  void Append(std::string_view contribution);

  const std::string& text() const { return text_; }
  size_t file_count() const { return file_count_; }

 private:
  std::string text_;
  size_t file_count_ = 0;
};

// What a file with these bytes contributes: the bytes without a final LF (and
// one CR directly before it) if the file ends so, then cut at the first NUL.
std::string_view LogContribution(std::string_view file_bytes);

// Loads the whole file at `file` into `buffer` and returns the line for the
// loaded-files list: the file's name without its folder, followed by CR LF.
// Throws FileError(kOpen) naming the file; the buffer is then unchanged.
std::string LoadLogFile(LogBuffer& buffer, const std::filesystem::path& file);

}  // namespace varnokel
