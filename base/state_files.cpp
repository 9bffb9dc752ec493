#include "base/state_files.h"

#include "base/file_io.h"
#include "base/text_lines.h"

namespace varnokel {

std::vector<std::string> ReadStateFileLines(const std::filesystem::path& file) {
  return SplitLines(ReadFileText(file));
}

DatabaseNotes ReadDatabaseNotes(const std::filesystem::path& file) {
  std::vector<std::string> lines = ReadStateFileLines(file);
  DatabaseNotes notes;
  for (size_t i = 0; i < notes.size() && i < lines.size(); ++i) notes[i] = std::move(lines[i]);
  return notes;
}

std::string FormatDatabaseNotes(const DatabaseNotes& notes) {
  std::string bytes;
  for (const std::string& note : notes) {
    bytes += note;
    bytes += "\r\n";
  }
  return bytes;
}

void WriteDatabaseNotes(const std::filesystem::path& file, const DatabaseNotes& notes) {
  WriteFileAtomic(file, FormatDatabaseNotes(notes));
}

}  // namespace varnokel
