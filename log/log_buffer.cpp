#include "log/log_buffer.h"

#include "base/file_io.h"

namespace varnokel {

void LogBuffer::Append(std::string_view contribution) {
  if (file_count_ > 0) text_ += "\r\n";
  text_ += CutAtNul(contribution);
  ++file_count_;
}

std::string_view LogContribution(std::string_view file_bytes) {
  if (file_bytes.ends_with('\n')) {
    file_bytes.remove_suffix(1);
    if (file_bytes.ends_with('\r')) file_bytes.remove_suffix(1);
  }
  return CutAtNul(file_bytes);
}

std::string LoadLogFile(LogBuffer& buffer, const std::filesystem::path& file) {
  std::string bytes = ReadFileBytes(file);
  buffer.Append(LogContribution(bytes));
  return file.filename().string() + "\r\n";
}

}  // namespace varnokel
