#include "log/log_buffer.h"

#include <cstring>

#include "base/file_io.h"
#include "base/gzip.h"

namespace varnokel {

namespace {

constexpr std::string_view kJoin = "\r\n";

// The bytes without a final LF and one CR directly before it.
std::string_view StripFinalLineEnd(std::string_view bytes) {
  if (bytes.ends_with('\n')) {
    bytes.remove_suffix(1);
    if (bytes.ends_with('\r')) bytes.remove_suffix(1);
  }
  return bytes;
}

// True when `file` was last changed kSettledAfter or longer ago.
bool Settled(const std::filesystem::path& file) {
  std::error_code error;
  const auto changed = std::filesystem::last_write_time(file, error);
  return !error && std::filesystem::file_time_type::clock::now() - changed >= kSettledAfter;
}

}  // namespace

void LogBuffer::Append(std::string_view contribution) {
  if (!logs_.empty()) text_.append(kJoin);
  const size_t offset = text_.size();
  text_.append(contribution);
  LoadedLog log;
  log.offset = offset;
  log.size = text_.size() - offset;
  log.line_index = LineIndex(LogText(log));
  log.server = server_;
  logs_.push_back(std::move(log));
}

void LogBuffer::AppendFile(const std::filesystem::path& file, LoadMode mode) {
  const size_t before = text_.size();
  if (!logs_.empty()) text_.append(kJoin);
  const size_t offset = text_.size();
  try {
    AppendFileBytes(text_, file);
    if (IsGzip(text().substr(offset))) {
      const std::string compressed(text().substr(offset));
      text_.resize(offset);
      AppendGunzipped(text_, compressed, file);
    }
  } catch (...) {
    text_.resize(before);
    throw;
  }
  FinishLog(file.filename().string(), offset, mode);
  logs_.back().source = file;
  logs_.back().settled = Settled(file);
}

bool LogBuffer::AppendFilePart(const std::filesystem::path& file, uint64_t from, std::string name,
                               uint64_t most) {
  const size_t before = text_.size();
  if (!logs_.empty()) text_.append(kJoin);
  const size_t offset = text_.size();
  try {
    AppendFileBytesFrom(text_, file, from);
  } catch (...) {
    text_.resize(before);
    throw;
  }
  const std::string_view part = text().substr(offset);
  const size_t first_lf = part.find('\n');
  if (first_lf == std::string_view::npos) {
    text_.resize(before);
    return false;
  }
  if (part.size() > most) {
    // Cut after the last line end within `most` bytes, or after the first line.
    const size_t last_lf = part.substr(0, most).rfind('\n');
    text_.resize(offset + (last_lf == std::string_view::npos ? first_lf : last_lf) + 1);
  }
  FinishLog(std::move(name), offset, LoadMode::kCompleteLines);
  logs_.back().source = file;
  logs_.back().settled = Settled(file);
  return true;
}

void LogBuffer::FinishLog(std::string name, size_t offset, LoadMode mode) {
  std::string_view bytes = text().substr(offset);
  if (mode == LoadMode::kCompleteLines) {
    const void* lf = bytes.empty() ? nullptr : ::memrchr(bytes.data(), '\n', bytes.size());
    bytes = bytes.substr(0, lf == nullptr ? 0 : static_cast<const char*>(lf) - bytes.data() + 1);
  }
  LoadedLog log;
  log.name = std::move(name);
  log.offset = offset;
  log.size = LogContribution(bytes).size();
  log.line_end = std::string(bytes.substr(log.size));  // it belongs to the content
  text_.resize(offset + log.size);
  log.line_index = LineIndex(LogText(log));
  log.server = server_;
  logs_.push_back(std::move(log));
}

void LogBuffer::Clear() {
  text_.clear();
  logs_.clear();
}

std::string_view LogContribution(std::string_view file_bytes) {
  return StripFinalLineEnd(file_bytes);
}

std::string LoadLogFile(LogBuffer& buffer, const std::filesystem::path& file, LoadMode mode) {
  buffer.AppendFile(file, mode);
  return file.filename().string() + "\r\n";
}

}  // namespace varnokel
