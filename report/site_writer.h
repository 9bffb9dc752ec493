// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the pages of the site, each only when its bytes change: a page whose
// input has the fingerprint the site index holds for it, and whose file is
// still the one that run wrote, is left as it is, without reading it back.
// Pages the last runs wrote that this run does not write are removed; no
// other file of the folder is touched.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/replaced_file.h"
#include "report/page_input.h"
#include "report/page_workers.h"
#include "report/site_folder.h"
#include "report/site_index.h"

namespace varnokel {

struct SiteChanges {
  size_t written = 0;  // pages written
  size_t kept = 0;     // pages left as they were
  size_t removed = 0;  // pages of the last runs removed
};

class SiteWriter {
 public:
  // Locks the folder `target.dir` (creating it; SiteFolder) and reads its
  // index from `index_file`. `format` stands for everything every page
  // depends on besides its input (the templates, the program): an index of
  // another format still says which files are the site's, but no page of it
  // is kept. A missing or damaged index keeps no page and removes none.
  // Throws SiteBusy, or FileError(kCreate) naming the folder.
  SiteWriter(const SiteTarget& target, std::filesystem::path index_file, const Fingerprint& format);

  // Appends a page's bytes to an empty output. The builders of several pages
  // run at once, on threads of their own (BuildAndWritePages).
  using PageBuilder = PageBuild;

  // Adds the page `name` (a file name ending in ".htm", ".html" or ".css",
  // or a plain name in one of the site's subfolders, which is made; added once)
  // whose bytes are all determined by `input` and the format; `build` makes
  // them when the page has to be written and must stay callable until Commit.
  void Add(std::string name, const Fingerprint& input, PageBuilder build);

  // Writes the changed pages, several at once (each replaced atomically),
  // then removes the pages of the last runs not added, then writes the index.
  // With `add_more`, the pages added so far are written on threads of their
  // own while `add_more` (on the calling thread) adds the rest, which are
  // written once it returns. Throws FileError naming the page or index that
  // cannot be written, or what `add_more` throws, once every page under way
  // is done; the index then names every page this run may have changed as
  // one to write again.
  SiteChanges Commit(const std::function<void()>& add_more = {});

 private:
  struct PlannedPage {
    std::string name;
    Fingerprint input;
    PageBuilder build;
  };

  // The index as it stands after the run: the planned pages from number
  // `first` on, then the pages of the last runs to remove; and the planned
  // pages to write.
  struct NextIndex {
    SiteIndex index;
    std::vector<size_t> to_write;  // by number in planned_
    size_t first = 0;              // the number in planned_ of the index's first page
    size_t planned_count = 0;      // the index's planned pages; the rest are to remove
  };

  // Pages to write in one folder or another, and their entries in a NextIndex.
  struct PageGroup {
    std::vector<const PlannedPage*> pages;
    std::vector<SiteIndexEntry*> entries;
  };

  // The last run's entry of each planned page (null for none); the pages of
  // the last runs not planned go to `unplanned`, without an input unless
  // `keep_inputs` and the last run's format is this one's.
  std::vector<const SiteIndexEntry*> LastEntries(SiteIndex& unplanned, bool keep_inputs) const;
  // Nonzero for each planned page from number `first` on whose file is as
  // the last run left it.
  std::vector<char> UnchangedPages(const std::vector<const SiteIndexEntry*>& last_entries,
                                   size_t first) const;
  NextIndex PlanNextIndex(size_t first, bool keep_unplanned) const;
  static bool Changes(const NextIndex& next);
  // The pages of `next` to write in the site folder, or in its subfolders.
  PageGroup GroupOf(NextIndex& next, bool in_subfolders) const;
  // Builds and writes the pages of both groups on up to `cores` threads,
  // each entry given its file and input once written; returns the first
  // failure (the site folder's first), naming the page by its published name.
  std::exception_ptr WritePages(const PageGroup& in_site, const PageGroup& in_subfolders,
                                size_t cores, ReplacedFileCloser& replaced_pages) const;
  void WriteGroup(const PageGroup& group, size_t threads, ReplacedFileCloser& replaced_pages) const;
  std::exception_ptr FailureOf(std::exception_ptr failure) const;
  // Removes the pages of the last runs still ours; drops them from the index.
  size_t RemoveUnplanned(NextIndex& next);
  bool Unchanged(const PlannedPage& page, const SiteIndexEntry& entry) const;
  bool StillOwn(const std::string& name, const SiteIndexEntry& entry) const;
  void WriteIndex(const SiteIndex& index);
  void MakeSubfolders(const std::string& folder);
  // Where page `name` is written: in the hidden folder of its subfolder when
  // that is written whole.
  std::string WrittenName(const std::string& name) const;
  void MakeUnpublishedFolders(const NextIndex& next);
  void PublishFolders();
  void DropUnpublishedFolders();
  // `error` naming the page by its published name.
  FileError PublishedNameError(const FileError& error) const;

  SiteFolder folder_;
  std::function<void(const std::function<void()>&)> around_index_write_;
  std::filesystem::path index_file_;
  Fingerprint format_;
  std::string index_bytes_;  // the index as read, to leave it alone when nothing changed
  std::optional<SiteIndex> last_;
  std::deque<PlannedPage> planned_;  // a page keeps its place while more are added
  std::set<std::string> made_folders_;
  // The subfolders missing when the run began, each with the hidden folder
  // its pages are written into (empty until made), renamed into place whole.
  std::map<std::string, std::string> unpublished_;
  mutable std::atomic<bool> any_failed_ = false;  // a page failed: no more are begun
};

}  // namespace varnokel
