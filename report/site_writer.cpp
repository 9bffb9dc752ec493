#include "report/site_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "base/file_io.h"
#include "base/parallel_stretches.h"

namespace varnokel {

// What is on disk at every moment, whatever the point at which a run stops:
// - an index entry with an input names a file (by identity) holding exactly
//   the bytes built from that input under the index's format;
// - every page a run may have written or left half removed is named in the
//   index on disk before it is touched, without an input.
// So a run that dies leaves an index whose every trusted entry is still true,
// and names every file the site owns. The index is replaced atomically, first
// before the first change (pages about to change lose their input) and last
// with the inputs and identities of the pages written.

namespace {

bool IsFolder(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

constexpr std::string_view kPageSuffix = ".htm";
constexpr std::string_view kStyleSheetSuffix = ".css";
constexpr std::string_view kStartPageSuffix = ".html";
constexpr std::string_view kDataSuffix = ".json";
constexpr std::string_view kScriptSuffix = ".js";

// The subfolders the site's pages may be in.
constexpr std::array<std::string_view, 4> kSiteSubfolders = {"karten", "spieler", "daten",
                                                             "daten/suche"};

bool EndsWithAfterSomething(std::string_view name, std::string_view suffix) {
  return name.size() > suffix.size() && name.ends_with(suffix);
}

// A page in a subfolder has a plain name: letters, digits, "-", "_", "~" and
// the one dot of its suffix.
bool IsSubfolderPageName(std::string_view file) {
  for (char c : file) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '~' &&
        c != '.')
      return false;
  }
  return std::count(file.begin(), file.end(), '.') == 1 &&
         (EndsWithAfterSomething(file, kPageSuffix) || EndsWithAfterSomething(file, kDataSuffix) ||
          EndsWithAfterSomething(file, kScriptSuffix));
}

// True for the names the site's pages may have: a file name in the folder
// ending in ".htm", ".html" or ".css", or a plain name in one of the site's
// subfolders. Only such names are ever removed, whatever an index says.
bool IsSitePageName(std::string_view name) {
  const size_t slash = name.rfind('/');
  if (slash == std::string_view::npos)
    return (EndsWithAfterSomething(name, kPageSuffix) ||
            EndsWithAfterSomething(name, kStartPageSuffix) ||
            EndsWithAfterSomething(name, kStyleSheetSuffix));
  const std::string_view folder = name.substr(0, slash);
  return std::find(kSiteSubfolders.begin(), kSiteSubfolders.end(), folder) !=
             kSiteSubfolders.end() &&
         IsSubfolderPageName(name.substr(slash + 1));
}

}  // namespace

SiteWriter::SiteWriter(const SiteTarget& target, std::filesystem::path index_file,
                       const Fingerprint& format)
    : folder_(target), index_file_(std::move(index_file)), format_(format) {
  folder_.Remove(std::string(kServedSiteIndexName));
  folder_.RemoveLeftoverTemporaries(
      {kSiteSubfolders[0], kSiteSubfolders[1], kSiteSubfolders[2], kSiteSubfolders[3]});
  try {
    AppendFileBytes(index_bytes_, index_file_, /*follow_links=*/false);
    last_ = ParseSiteIndex(index_bytes_);
  } catch (const FileError&) {
    // No index: nothing is known about the pages in the folder.
  }
}

void SiteWriter::Add(std::string name, const Fingerprint& input, PageBuilder build) {
  if (!IsSitePageName(name))
    throw FileError(FileError::Kind::kInvalidName, folder_.path() / name, "kein Seitenname");
  if (const size_t slash = name.rfind('/'); slash != std::string::npos)
    MakeSubfolders(name.substr(0, slash));
  planned_.push_back({std::move(name), input, std::move(build)});
}

void SiteWriter::MakeSubfolders(const std::string& folder) {
  if (!made_folders_.insert(folder).second) return;
  for (size_t slash = folder.find('/');; slash = folder.find('/', slash + 1)) {
    const std::filesystem::path path = folder_.path() / folder.substr(0, slash);
    if (::mkdir(path.c_str(), 0700) == 0) {
      // Readable by the web server whatever the umask, as the site folder.
      std::error_code error;
      std::filesystem::permissions(path, kPublishedFolderMode, error);
      if (error) throw FileError(FileError::Kind::kCreate, path, error.message());
    } else if (errno != EEXIST) {
      throw FileError(FileError::Kind::kCreate, path, std::strerror(errno));
    }
    if (slash == std::string::npos) break;
  }
}

bool SiteWriter::Unchanged(const PlannedPage& page, const SiteIndexEntry& entry) const {
  return last_->format == format_ && entry.input == page.input && entry.file &&
         folder_.Identity(page.name) == entry.file;
}

bool SiteWriter::StillOwn(const std::string& name, const SiteIndexEntry& entry) const {
  const std::optional<FileIdentity> file = folder_.Identity(name);
  return file && (!entry.file || file == entry.file);
}

void SiteWriter::WriteIndex(const SiteIndex& index) {
  std::string bytes = FormatSiteIndex(index);
  // A database that does not exist keeps no index: its next run keeps no
  // page and removes none.
  if (bytes == index_bytes_ || !IsFolder(index_file_.parent_path())) return;
  WriteFileAtomic(index_file_, bytes);
  index_bytes_ = std::move(bytes);
}

SiteChanges SiteWriter::Commit() {
  std::unordered_map<std::string_view, const SiteIndexEntry*> last_pages;
  if (last_) {
    last_pages.reserve(last_->pages.size());
    for (const auto& [name, entry] : last_->pages) last_pages.emplace(name, &entry);
  }

  // The index as it stands after the run: the planned pages in order, those
  // to write without an input until they are written.
  SiteIndex next{format_, {}};
  next.pages.reserve(planned_.size());
  std::vector<const SiteIndexEntry*> last_entries(planned_.size(), nullptr);
  for (size_t k = 0; k < planned_.size(); ++k) {
    if (const auto found = last_pages.find(planned_[k].name); found != last_pages.end()) {
      last_entries[k] = found->second;
      last_pages.erase(found);
    }
  }
  // A look at the file of every page the last run left, shared by the cores.
  std::vector<char> unchanged(planned_.size(), 0);
  ForEachStretch(planned_.size(), [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k)
      unchanged[k] = last_entries[k] != nullptr && Unchanged(planned_[k], *last_entries[k]);
  });
  std::vector<size_t> to_write;
  for (size_t k = 0; k < planned_.size(); ++k) {
    const SiteIndexEntry entry = unchanged[k] ? *last_entries[k] : SiteIndexEntry{};
    if (!entry.input) to_write.push_back(k);
    next.pages.emplace_back(planned_[k].name, entry);
  }
  // Pages of the last runs that this run does not write, in the index until
  // they are gone.
  const size_t planned_count = next.pages.size();
  if (last_) {
    for (const auto& [name, entry] : last_->pages)
      if (last_pages.contains(name) && IsSitePageName(name))
        next.pages.emplace_back(name, SiteIndexEntry{std::nullopt, entry.file});
  }

  SiteChanges changes;
  changes.kept = planned_.size() - to_write.size();
  if (!to_write.empty() || next.pages.size() > planned_count) WriteIndex(next);
  std::vector<const PageBuilder*> builds;
  for (size_t k : to_write) builds.push_back(&planned_[k].build);
  // Frees the replaced pages meanwhile; waits for the last of them when the
  // commit ends.
  ReplacedFileCloser replaced_pages;
  BuildAndWritePages(
      builds,
      [&](size_t j) {
        // A new page is made in place: the index names it as unfinished until the run's end.
        return AtomicFileWriter(folder_.path() / planned_[to_write[j]].name, kPublishedFileMode,
                                AtomicFileWriter::NewFile::kInPlace);
      },
      [&](size_t j, AtomicFileWriter& file) {
        const PlannedPage& page = planned_[to_write[j]];
        replaced_pages.Close(file.Commit());
        SiteIndexEntry& entry = next.pages[to_write[j]].second;  // this thread's alone
        entry.file = folder_.Identity(page.name);
        if (entry.file) entry.input = page.input;
      });
  changes.written = to_write.size();
  for (size_t k = planned_count; k < next.pages.size(); ++k) {
    const auto& [name, entry] = next.pages[k];
    if (!StillOwn(name, entry)) continue;  // gone, or replaced by somebody else
    folder_.Remove(name);
    ++changes.removed;
  }
  next.pages.erase(next.pages.begin() + static_cast<std::ptrdiff_t>(planned_count),
                   next.pages.end());
  WriteIndex(next);
  return changes;
}

}  // namespace varnokel
