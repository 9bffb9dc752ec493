#include "db/journaled_commit.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <future>
#include <optional>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include "base/content_hash.h"
#include "base/file_io.h"
#include "db/event_store.h"
#include "db/journal_retirement.h"
#include "db/staged_store_changes.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

// The journal: a header line, then for each file "<name bytes> <data bytes>"
// and a line end, the name and the data; last the trailer "end <files>
// <SHA-256 of everything before it>" and a line end, so that a journal cut
// short or filled up with anything is told from a whole one. Journals of the
// first version end in "end <files>" alone; one of them left by an earlier
// program is still completed.
constexpr std::string_view kHeader = "varnokel journal 2\n";
constexpr std::string_view kFirstVersionHeader = "varnokel journal 1\n";
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

// True when `trailer` (what follows "end <files> ") is the digest of `body`
// and a line end, and nothing else.
bool TrailerMatches(std::string_view trailer, std::string_view body) {
  Digest digest;
  return trailer.size() > 1 && trailer.back() == '\n' &&
         ParseDigestHex(trailer.substr(0, trailer.size() - 1), digest) && digest == HashOf(body);
}

// The files of a journal up to its trailer, which `rest` is left at ("end
// ..."), or none when they are not readable.
std::optional<std::vector<JournalFile>> JournalEntries(std::string_view journal,
                                                       std::string_view& rest) {
  if (!journal.starts_with(kHeader) && !journal.starts_with(kFirstVersionHeader))
    return std::nullopt;
  rest = journal.substr(kHeader.size());
  std::vector<JournalFile> files;
  while (!rest.starts_with(kEnd)) {
    size_t name_size = 0, data_size = 0;
    if (!TakeNumber(rest, ' ', name_size) || !TakeNumber(rest, '\n', data_size) ||
        rest.size() < name_size + data_size)
      return std::nullopt;
    const std::string_view name = rest.substr(0, name_size);
    if (name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
    files.push_back({name, rest.substr(name_size, data_size)});
    rest.remove_prefix(name_size + data_size);
  }
  return files;
}

// The files of a whole journal, or none when it is not whole.
std::optional<std::vector<JournalFile>> ParseJournal(std::string_view journal) {
  const bool first_version = journal.starts_with(kFirstVersionHeader);
  std::string_view rest;
  std::optional<std::vector<JournalFile>> files = JournalEntries(journal, rest);
  if (!files) return std::nullopt;
  const std::string_view body = journal.substr(0, journal.size() - rest.size());
  rest.remove_prefix(kEnd.size());
  size_t count = 0;
  const bool whole = first_version ? TakeNumber(rest, '\n', count) && rest.empty()
                                   : TakeNumber(rest, ' ', count) && TrailerMatches(rest, body);
  if (!whole || count != files->size()) return std::nullopt;
  return files;
}

// Writes every file of a committed journal in place, puts them on the disk,
// and removes the journal. The event store's record holds the store's
// changes, not its bytes: they are added in a transaction of its own that the
// store remembers by number and that SQLite has on the disk before it
// returns; it runs on a thread of its own while the other files are written,
// or was staged there already (`staged`). (A future of std::async waits for
// its thread when it is destroyed, also when a file's write throws.)
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// `sync_seconds`, when given, adds the time the file system's sync took.
// With `sync_later` the sync and the journal's removal are left to the
// caller (JournalRetirement). A journal that carries the files of earlier
// ones holds a store record of each: they are added in order, each once.
void ApplyJournal(const fs::path& dir, const std::vector<JournalFile>& files,
                  StagedStoreChanges* staged = nullptr, double* sync_seconds = nullptr,
                  bool sync_later = false) {
  std::vector<std::string_view> records;
  for (const JournalFile& file : files) {
    if (file.name == kEventStoreFileName) records.push_back(file.bytes);
  }
  std::future<void> store;
  if (staged && !records.empty()) {
    staged->StartCommit();
  } else if (!records.empty()) {
    store = std::async(std::launch::async, [&dir, &records] {
      for (const std::string_view record : records)
        ApplyStoreRecord(dir, record, dir / kJournalName);
    });
  }
  for (const JournalFile& file : files) {
    if (file.name != kEventStoreFileName) OverwriteFile(dir / file.name, file.bytes);
  }
  // The store's transaction ends by removing SQLite's own journal, a change
  // of the folder that only the sync after it puts on the disk: a journal of
  // SQLite's back after a power cut would take the commit out of the store.
  if (store.valid()) store.get();
  if (staged) staged->FinishCommit();
  if (sync_later) return;
  const auto sync_start = Clock::now();
  SyncFileSystem(dir);
  if (sync_seconds) *sync_seconds += SecondsSince(sync_start);
  RemoveFile(dir / kJournalName);
}

// A journal that is not whole was cut while it was written, before its
// commit point reached the disk: nothing of it was applied.
void DropUncommittedJournal(const fs::path& journal) {
  std::fprintf(stderr,
               "Hinweis: unvollständiges Journal %s verworfen; die abgebrochene Änderung wurde "
               "nie gespeichert.\n",
               journal.c_str());
  RemoveFile(journal);
}

}  // namespace

JournaledCommit::JournaledCommit(fs::path database_dir)
    : dir_(std::move(database_dir)), journal_(kHeader) {}

JournaledCommit::Place JournaledCommit::AppendEntry(std::string& journal, std::string_view name,
                                                    std::string_view bytes) {
  journal += std::to_string(name.size());
  journal += ' ';
  journal += std::to_string(bytes.size());
  journal += '\n';
  const Place place{journal.size(), name.size(), journal.size() + name.size(), bytes.size()};
  journal += name;
  journal += bytes;
  return place;
}

void JournaledCommit::Add(std::string_view name, std::string_view bytes) {
  files_.push_back(AppendEntry(journal_, name, bytes));
}

// Puts the files of `unsynced`, the last commit's journal whose files may not
// be on the disk yet, before this commit's own: all but those written again
// now, and its store records. (This process wrote it: its digest is not
// checked again.)
void JournaledCommit::Carry(std::string_view unsynced) {
  std::string_view trailer;
  const std::optional<std::vector<JournalFile>> files = JournalEntries(unsynced, trailer);
  if (!files) {
    throw FileError(FileError::Kind::kCreate, dir_ / kJournalName,
                    "das letzte Journal ist nicht mehr lesbar");
  }
  std::set<std::string_view> own;
  for (const Place& place : files_)
    own.insert(std::string_view(journal_).substr(place.name, place.name_size));
  std::string journal(kHeader);
  for (const JournalFile& file : *files) {
    if (file.name == kEventStoreFileName || !own.contains(file.name)) {
      AppendEntry(journal, file.name, file.bytes);
      ++carried_;
    }
  }
  const size_t shift = journal.size() - kHeader.size();
  journal.append(journal_, kHeader.size());
  journal_ = std::move(journal);
  for (Place& place : files_) {
    place.name += shift;
    place.bytes += shift;
  }
}

// Ends the journal with its trailer; returns the trailer's size.
size_t JournaledCommit::EndJournal() {
  const size_t body_size = journal_.size();
  const std::string digest = DigestHex(HashOf(journal_));
  journal_ += kEnd;
  journal_ += std::to_string(carried_ + files_.size());
  journal_ += ' ';
  journal_ += digest;
  journal_ += '\n';
  return journal_.size() - body_size;
}

void JournaledCommit::Commit(StagedStoreChanges* store, JournalRetirement* later) {
  if (files_.empty()) return;
  const fs::path pending = dir_ / kPendingJournalName;
  size_t trailer_size = 0;
  try {
    // The last commit's journal: retired before this one takes its name, or
    // carried in this one when its sync still runs.
    if (later) {
      if (const std::optional<std::string> unsynced = later->TakeUnsynced(dir_)) Carry(*unsynced);
    }
    trailer_size = EndJournal();
    const auto write_start = Clock::now();
    WriteNewFile(pending, journal_, /*sync=*/true);
    durable_seconds_ += SecondsSince(write_start);
    if (store) store->WaitStaged();  // a store that cannot take them stops the commit here
    RenameFile(pending, dir_ / kJournalName);
  } catch (const FileError&) {
    RemoveFile(pending);
    throw;
  }
  try {
    const auto sync_start = Clock::now();
    SyncFolder(dir_);  // the commit point is on the disk
    durable_seconds_ += SecondsSince(sync_start);
    std::vector<JournalFile> files;
    const std::string_view journal = journal_;
    for (const Place& place : files_) {
      files.push_back({journal.substr(place.name, place.name_size),
                       journal.substr(place.bytes, place.bytes_size)});
    }
    ApplyJournal(dir_, files, store, &durable_seconds_, /*sync_later=*/later != nullptr);
  } catch (const FileError& error) {
    throw CommitIncomplete(std::string(error.what()) +
                           " (die \xC3\x84nderung ist vermerkt; der n\xC3\xA4"
                           "chste Befehl auf dieser "
                           "Datenbank vollendet sie)");
  }
  if (later) later->Start(dir_, std::move(journal_), trailer_size);
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
    std::string bytes;
    AppendFileBytes(bytes, journal, /*follow_links=*/false);
    if (const auto files = ParseJournal(bytes))
      ApplyJournal(database_dir, *files);
    else
      DropUncommittedJournal(journal);
  }
  RemoveFile(database_dir / kPendingJournalName);
  for (const std::string& name : ListEntryNames(database_dir)) {
    if (IsAtomicWriteTemporary(name)) RemoveFile(database_dir / name);
  }
}

}  // namespace varnokel
