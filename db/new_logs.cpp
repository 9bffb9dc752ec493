#include "db/new_logs.h"

#include <algorithm>
#include <system_error>

#include "base/date_text.h"
#include "base/file_io.h"
#include "db/update_plan.h"
#include "log/classic_line.h"
#include "log/log_buffer.h"
#include "log/log_line_layout.h"

namespace varnokel {

namespace {

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  if (name.size() <= suffix.size()) return false;
  const std::string_view end = name.substr(name.size() - suffix.size());
  return std::equal(end.begin(), end.end(), suffix.begin(),
                    [](char a, char b) { return (a | 0x20) == b; });
}

// A log, or a log kept compressed with gzip.
bool HasLogSuffix(std::string_view name) {
  return EndsWithIgnoringCase(name, ".log") || EndsWithIgnoringCase(name, ".log.gz");
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// YYYYMMDDHHMMSS from a first line "L MM/DD/YYYY - HH:MM:SS: ..." (or a newer
// engine's line), or empty.
std::string WrittenAt(std::string_view first_line) {
  const std::string classic = ClassicLineText(first_line);
  const std::string_view date = log_line::Date(classic);
  const std::string_view time = log_line::Time(classic);
  if (date.size() != log_line::kDateLength || time.size() != log_line::kTimeLength) return {};
  std::string key = SortableDate(date);
  key.append(time.substr(0, 2)).append(time.substr(3, 2)).append(time.substr(6, 2));
  return AllDigits(key) ? key : std::string();
}

// True when some line of `text` begins with a log time stamp.
bool HasTimeStampedLine(std::string_view text) {
  for (size_t start = 0; start <= text.size();) {
    if (HasLogTimeStamp(text.substr(start))) return true;
    const size_t lf = text.find('\n', start);
    if (lf == text.npos) break;
    start = lf + 1;
  }
  return false;
}

struct Candidate {
  std::filesystem::path file;
  std::string written_at;  // empty: unknown, sorts last
  std::string name;
};

}  // namespace

NewLogs FindNewLogs(const std::filesystem::path& folder, const Ledger& ledger) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error))
    throw FileError(FileError::Kind::kOpen, folder, "kein Ordner");
  NewLogs result;
  std::vector<Candidate> candidates;
  for (const std::string& name : ListEntryNames(folder)) {
    const std::filesystem::path file = folder / name;
    if (!HasLogSuffix(name) || !IsRegularFile(file)) continue;
    LogBuffer buffer;
    try {
      buffer.AppendFile(file);
    } catch (const FileError& error) {
      result.unreadable.push_back(error);
      continue;
    }
    const UpdatePlan plan = PlanUpdate(buffer, ledger, /*again=*/false);
    const PlannedLog& log = plan.logs.front();
    if (!log.fold()) {
      if (log.WhollyFolded()) ++result.wholly_folded;
      continue;
    }
    const std::string_view text = log.text;
    candidates.push_back({file, WrittenAt(text.substr(0, text.find('\n'))), name});
    if (!HasTimeStampedLine(text)) result.not_logs.push_back(file);
  }
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    if (a.written_at.empty() != b.written_at.empty()) return b.written_at.empty();
    if (a.written_at != b.written_at) return a.written_at < b.written_at;
    return a.name < b.name;
  });
  for (Candidate& candidate : candidates) result.files.push_back(std::move(candidate.file));
  return result;
}

}  // namespace varnokel
