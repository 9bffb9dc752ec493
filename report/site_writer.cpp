#include "report/site_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <future>
#include <iterator>
#include <thread>
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

// True for a subfolder holding none of the others: one that can be written
// whole into a hidden folder and renamed into place.
bool IsLeafSubfolder(std::string_view folder) {
  return std::none_of(kSiteSubfolders.begin(), kSiteSubfolders.end(), [&](std::string_view other) {
    return other.size() > folder.size() && other.starts_with(folder) && other[folder.size()] == '/';
  });
}

bool Exists(const std::filesystem::path& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 || errno != ENOENT;
}

}  // namespace

SiteWriter::SiteWriter(const SiteTarget& target, std::filesystem::path index_file,
                       const Fingerprint& format)
    : folder_(target),
      around_index_write_(target.around_index_write),
      index_file_(std::move(index_file)),
      format_(format) {
  folder_.Remove(std::string(kServedSiteIndexName));
  folder_.RemoveLeftoverTemporaries(
      {kSiteSubfolders[0], kSiteSubfolders[1], kSiteSubfolders[2], kSiteSubfolders[3]});
  // A subfolder that is not there yet (the first run) is written whole into
  // a hidden folder and renamed into place: a rename per folder, not per page.
  for (std::string_view folder : kSiteSubfolders)
    if (IsLeafSubfolder(folder) && !Exists(folder_.path() / folder))
      unpublished_.emplace(std::string(folder), std::string());
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
    if (unpublished_.contains(folder.substr(0, slash))) break;  // made hidden when written
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
  const auto write = [&] { WriteFileAtomic(index_file_, bytes); };
  if (around_index_write_)
    around_index_write_(write);
  else
    write();
  index_bytes_ = std::move(bytes);
}

std::vector<const SiteIndexEntry*> SiteWriter::LastEntries(SiteIndex& next,
                                                           bool keep_inputs) const {
  std::unordered_map<std::string_view, const SiteIndexEntry*> last_pages;
  if (last_) {
    last_pages.reserve(last_->pages.size());
    for (const auto& [name, entry] : last_->pages) last_pages.emplace(name, &entry);
  }
  std::vector<const SiteIndexEntry*> last_entries(planned_.size(), nullptr);
  for (size_t k = 0; k < planned_.size(); ++k) {
    if (const auto found = last_pages.find(planned_[k].name); found != last_pages.end()) {
      last_entries[k] = found->second;
      last_pages.erase(found);
    }
  }
  if (last_) {
    for (const auto& [name, entry] : last_->pages)
      if (last_pages.contains(name) && IsSitePageName(name))
        next.pages.emplace_back(name, keep_inputs && last_->format == format_
                                          ? entry
                                          : SiteIndexEntry{std::nullopt, entry.file});
  }
  return last_entries;
}

std::vector<char> SiteWriter::UnchangedPages(const std::vector<const SiteIndexEntry*>& last_entries,
                                             size_t first) const {
  // A look at the file of every page the last run left, shared by the cores.
  std::vector<char> unchanged(planned_.size(), 0);
  ForEachStretch(planned_.size() - first, [&](size_t from, size_t to) {
    for (size_t k = first + from; k < first + to; ++k)
      unchanged[k] = last_entries[k] != nullptr && Unchanged(planned_[k], *last_entries[k]);
  });
  return unchanged;
}

SiteWriter::NextIndex SiteWriter::PlanNextIndex(size_t first, bool keep_unplanned) const {
  NextIndex next{{format_, {}}, {}, first, planned_.size() - first};
  SiteIndex unplanned;
  const std::vector<const SiteIndexEntry*> last_entries = LastEntries(unplanned, keep_unplanned);
  const std::vector<char> unchanged = UnchangedPages(last_entries, first);
  next.index.pages.reserve(next.planned_count + unplanned.pages.size());
  for (size_t k = first; k < planned_.size(); ++k) {
    const SiteIndexEntry entry = unchanged[k] ? *last_entries[k] : SiteIndexEntry{};
    if (!entry.input) next.to_write.push_back(k);
    next.index.pages.emplace_back(planned_[k].name, entry);
  }
  std::move(unplanned.pages.begin(), unplanned.pages.end(), std::back_inserter(next.index.pages));
  return next;
}

std::string SiteWriter::WrittenName(const std::string& name) const {
  const size_t slash = name.rfind('/');
  if (slash == std::string::npos) return name;
  const auto found = unpublished_.find(name.substr(0, slash));
  if (found == unpublished_.end() || found->second.empty()) return name;
  return found->second + name.substr(slash);
}

void SiteWriter::MakeUnpublishedFolders(const NextIndex& next) {
  for (size_t k : next.to_write) {
    const std::string& name = planned_[k].name;
    const size_t slash = name.rfind('/');
    if (slash == std::string::npos) continue;
    const auto found = unpublished_.find(name.substr(0, slash));
    if (found != unpublished_.end() && found->second.empty())
      found->second = folder_.MakeUnpublishedFolder(found->first);
  }
}

void SiteWriter::PublishFolders() {
  for (auto& [folder, unpublished] : unpublished_) {
    if (unpublished.empty()) continue;
    folder_.Publish(unpublished, folder);
    unpublished.clear();
  }
}

void SiteWriter::DropUnpublishedFolders() {
  for (auto& [folder, unpublished] : unpublished_) {
    if (unpublished.empty()) continue;
    folder_.RemoveUnpublished(unpublished);
    unpublished.clear();
  }
}

FileError SiteWriter::PublishedNameError(const FileError& error) const {
  const std::string file = error.file().string();
  for (const auto& [folder, unpublished] : unpublished_) {
    const std::string hidden = (folder_.path() / unpublished).string() + "/";
    if (!unpublished.empty() && file.starts_with(hidden))
      return FileError(error.kind(), folder_.path() / folder / file.substr(hidden.size()),
                       error.detail());
  }
  return error;
}

SiteWriter::PageGroup SiteWriter::GroupOf(NextIndex& next, bool in_subfolders) const {
  PageGroup group;
  for (size_t k : next.to_write) {
    const PlannedPage& page = planned_[k];
    if ((page.name.find('/') != std::string::npos) != in_subfolders) continue;
    group.pages.push_back(&page);
    group.entries.push_back(&next.index.pages[k - next.first].second);
  }
  return group;
}

void SiteWriter::WriteGroup(const PageGroup& group, size_t threads,
                            ReplacedFileCloser& replaced_pages) const {
  std::vector<const PageBuilder*> builds;
  builds.reserve(group.pages.size());
  for (const PlannedPage* page : group.pages) builds.push_back(&page->build);
  BuildAndWritePages(
      builds,
      [&](size_t g) {
        const std::string& name = group.pages[g]->name;
        const std::string written = WrittenName(name);
        if (written != name)
          return AtomicFileWriter::InUnpublishedFolder(folder_.path() / written,
                                                       kPublishedFileMode);
        return AtomicFileWriter(folder_.path() / name, kPublishedFileMode);
      },
      [&](size_t g, AtomicFileWriter& file) {
        replaced_pages.Close(file.Commit());
        SiteIndexEntry& entry = *group.entries[g];  // this thread's alone
        entry.file = folder_.Identity(WrittenName(group.pages[g]->name));
        if (entry.file) entry.input = group.pages[g]->input;
      },
      threads, any_failed_);
}

std::exception_ptr SiteWriter::FailureOf(std::exception_ptr failure) const {
  try {
    std::rethrow_exception(failure);
  } catch (const FileError& error) {
    return std::make_exception_ptr(PublishedNameError(error));
  } catch (...) {
    return std::current_exception();
  }
}

std::exception_ptr SiteWriter::WritePages(const PageGroup& in_site, const PageGroup& in_subfolders,
                                          size_t cores, ReplacedFileCloser& replaced_pages) const {
  // The pages of the site folder and those of its subfolders (the players'
  // history, the maps, the data) are written side by side, each share on
  // cores of its own: a folder takes one new file at a time.
  // The cores shared by the number of pages, at least one each.
  const size_t pages = in_site.pages.size() + in_subfolders.pages.size();
  const auto share = [&](const PageGroup& group) {
    return pages == 0 ? cores
                      : std::max<size_t>(1, (cores * group.pages.size() + pages / 2) / pages);
  };
  std::exception_ptr failure;
  std::future<void> subfolders;
  if (!in_subfolders.pages.empty())
    subfolders = std::async(std::launch::async, [&] {
      WriteGroup(in_subfolders, share(in_subfolders), replaced_pages);
    });
  try {
    WriteGroup(in_site, share(in_site), replaced_pages);
  } catch (...) {
    failure = FailureOf(std::current_exception());
  }
  try {
    if (subfolders.valid()) subfolders.get();
  } catch (...) {
    if (!failure) failure = FailureOf(std::current_exception());
  }
  return failure;
}

size_t SiteWriter::RemoveUnplanned(NextIndex& next) {
  size_t removed = 0;
  for (size_t k = next.planned_count; k < next.index.pages.size(); ++k) {
    const auto& [name, entry] = next.index.pages[k];
    if (!StillOwn(name, entry)) continue;  // gone, or replaced by somebody else
    folder_.Remove(name);
    ++removed;
  }
  next.index.pages.erase(next.index.pages.begin() + static_cast<std::ptrdiff_t>(next.planned_count),
                         next.index.pages.end());
  return removed;
}

bool SiteWriter::Changes(const NextIndex& next) {
  return !next.to_write.empty() || next.index.pages.size() > next.planned_count;
}

SiteChanges SiteWriter::Commit(const std::function<void()>& add_more) {
  // The index as it stands after the run: the planned pages in order, those
  // to write without an input until they are written, then the pages of the
  // last runs that this run does not write, in the index until they are gone.
  // The pages added so far are written first, while `add_more` adds the rest.
  // While more pages are to come, the pages of the last runs not planned yet
  // keep their entries: they are not touched before the rest is planned.
  NextIndex ahead = PlanNextIndex(0, /*keep_unplanned=*/static_cast<bool>(add_more));
  if (add_more ? !ahead.to_write.empty() : Changes(ahead)) WriteIndex(ahead.index);
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  std::exception_ptr failure;
  std::optional<NextIndex> rest;
  {
    // Frees the replaced pages meanwhile; waits for the last of them when the
    // pages are written.
    ReplacedFileCloser replaced_pages;
    try {
      MakeUnpublishedFolders(ahead);
      if (!add_more) {
        failure = WritePages(GroupOf(ahead, false), GroupOf(ahead, true), cores, replaced_pages);
      } else {
        // Until the index names the pages to come, it holds the planned ones
        // as they stood before they were written.
        const std::vector<std::pair<std::string, SiteIndexEntry>> ahead_planned(
            ahead.index.pages.begin(),
            ahead.index.pages.begin() + static_cast<std::ptrdiff_t>(ahead.planned_count));
        // Made here: Add changes planned_ meanwhile.
        const PageGroup ahead_in_site = GroupOf(ahead, false);
        const PageGroup ahead_in_subfolders = GroupOf(ahead, true);
        std::future<std::exception_ptr> ahead_written =
            std::async(std::launch::async, [&, share = std::max<size_t>(1, cores / 2)] {
              return WritePages(ahead_in_site, ahead_in_subfolders, share, replaced_pages);
            });
        try {
          add_more();
          rest = PlanNextIndex(ahead.planned_count, /*keep_unplanned=*/false);
          // After a failure of a page written ahead, no page is begun.
          if (any_failed_) rest->to_write.clear();
          SiteIndex before_rest{format_, ahead_planned};
          before_rest.pages.insert(before_rest.pages.end(), rest->index.pages.begin(),
                                   rest->index.pages.end());
          if (Changes(*rest)) WriteIndex(before_rest);
          MakeUnpublishedFolders(*rest);
          failure = WritePages(GroupOf(*rest, false), GroupOf(*rest, true), cores, replaced_pages);
        } catch (...) {
          failure = std::current_exception();
        }
        if (std::exception_ptr first = ahead_written.get()) failure = first;
      }
    } catch (...) {
      failure = std::current_exception();
    }
  }
  if (failure) {
    DropUnpublishedFolders();
    std::rethrow_exception(failure);
  }
  PublishFolders();
  SiteChanges changes;
  if (rest) {
    // The pages written ahead, then the rest and the pages of the last runs to remove.
    ahead.index.pages.resize(ahead.planned_count);
    ahead.index.pages.insert(ahead.index.pages.end(), rest->index.pages.begin(),
                             rest->index.pages.end());
    ahead.to_write.insert(ahead.to_write.end(), rest->to_write.begin(), rest->to_write.end());
    ahead.planned_count += rest->planned_count;
  }
  changes.written = ahead.to_write.size();
  changes.kept = ahead.planned_count - changes.written;
  changes.removed = RemoveUnplanned(ahead);
  WriteIndex(ahead.index);
  return changes;
}

}  // namespace varnokel
