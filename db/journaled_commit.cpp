#include "db/journaled_commit.h"

#include <unistd.h>

#include <charconv>
#include <system_error>
#include <utility>
#include <vector>

#include "base/file_io.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

// The journal: a header line, then for each file "<name bytes> <data bytes>"
// and a line end, the name and the data; last "end <files>" and a line end,
// so that a journal cut short is told from a whole one.
constexpr std::string_view kHeader = "varnokel journal 1\n";
constexpr std::string_view kEnd = "end ";

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// Reads a number and the separator after it from the front of `text`.
bool TakeNumber(std::string_view& text, char separator, size_t& number) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end == text.data() + text.size() || *end != separator) return false;
  text.remove_prefix(static_cast<size_t>(end - text.data()) + 1);
  return true;
}

struct JournalFile {
  std::string_view name;
  std::string_view bytes;
};

// The files of a whole journal; throws FileError naming it when it is not.
std::vector<JournalFile> ParseJournal(std::string_view journal, const fs::path& file) {
  const auto damaged = [&] {
    return FileError(FileError::Kind::kOpen, file,
                     "Journal besch\xC3\xA4"
                     "digt");
  };
  if (!journal.starts_with(kHeader)) throw damaged();
  journal.remove_prefix(kHeader.size());
  std::vector<JournalFile> files;
  while (!journal.starts_with(kEnd)) {
    size_t name_size = 0, data_size = 0;
    if (!TakeNumber(journal, ' ', name_size) || !TakeNumber(journal, '\n', data_size) ||
        journal.size() < name_size + data_size)
      throw damaged();
    const std::string_view name = journal.substr(0, name_size);
    if (name.empty() || name.find('/') != std::string_view::npos) throw damaged();
    files.push_back({name, journal.substr(name_size, data_size)});
    journal.remove_prefix(name_size + data_size);
  }
  journal.remove_prefix(kEnd.size());
  size_t count = 0;
  if (!TakeNumber(journal, '\n', count) || count != files.size() || !journal.empty())
    throw damaged();
  return files;
}

void Apply(const fs::path& dir, const std::vector<JournalFile>& files, bool sync) {
  for (const JournalFile& file : files) OverwriteFile(dir / file.name, file.bytes);
  if (sync) SyncFileSystem(dir);
  ::unlink((dir / kJournalName).c_str());
}

}  // namespace

JournaledCommit::JournaledCommit(fs::path database_dir, bool sync)
    : dir_(std::move(database_dir)), sync_(sync), journal_(kHeader) {}

void JournaledCommit::Add(std::string_view name, std::string_view bytes) {
  journal_ += std::to_string(name.size());
  journal_ += ' ';
  journal_ += std::to_string(bytes.size());
  journal_ += '\n';
  journal_ += name;
  journal_ += bytes;
  ++files_;
}

void JournaledCommit::Commit() {
  if (files_ == 0) return;
  journal_ += kEnd;
  journal_ += std::to_string(files_);
  journal_ += '\n';
  const fs::path pending = dir_ / kPendingJournalName;
  try {
    WriteNewFile(pending, journal_, sync_);
    RenameFile(pending, dir_ / kJournalName);
  } catch (const FileError&) {
    ::unlink(pending.c_str());
    throw;
  }
  try {
    Apply(dir_, ParseJournal(journal_, dir_ / kJournalName), sync_);
  } catch (const FileError& error) {
    throw CommitIncomplete(std::string(error.what()) +
                           " (die \xC3\x84nderung ist vermerkt; der n\xC3\xA4"
                           "chste Befehl auf dieser "
                           "Datenbank vollendet sie)");
  }
}

bool HasInterruptedCommit(const fs::path& database_dir) {
  return Exists(database_dir / kJournalName) || Exists(database_dir / kPendingJournalName);
}

bool NeedsRecovery(const fs::path& database_dir) {
  if (HasInterruptedCommit(database_dir)) return true;
  std::error_code error;
  for (fs::directory_iterator entry(database_dir, error), end; !error && entry != end;
       entry.increment(error)) {
    if (IsAtomicWriteTemporary(entry->path().filename().native())) return true;
  }
  return false;
}

void RecoverDatabase(const fs::path& database_dir) {
  const fs::path journal = database_dir / kJournalName;
  if (Exists(journal)) {
    const std::string bytes = ReadFileBytes(journal);
    Apply(database_dir, ParseJournal(bytes, journal), /*sync=*/false);
  }
  ::unlink((database_dir / kPendingJournalName).c_str());
  for (const std::string& name : ListEntryNames(database_dir)) {
    if (IsAtomicWriteTemporary(name)) ::unlink((database_dir / name).c_str());
  }
}

}  // namespace varnokel
