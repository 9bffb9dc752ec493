#include "report/page_workers.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace varnokel {

namespace {

constexpr unsigned kMaxThreads = 4;         // beyond this the folder's lock is the limit
constexpr size_t kPagesAheadPerThread = 4;  // how far past the first unfinished page work may go

}  // namespace

void BuildAndWritePages(std::span<const PageBuild* const> builds, const PageOpen& open,
                        const PageDone& done, size_t max_threads, std::atomic<bool>& any_failed) {
  const size_t threads = std::min<size_t>(
      {std::max(1u, std::thread::hardware_concurrency()), kMaxThreads, builds.size(), max_threads});
  if (threads == 0) return;
  const size_t ahead = threads * kPagesAheadPerThread;

  std::mutex mutex;
  std::condition_variable changed;
  size_t next = 0;              // the next page to begin
  size_t first_unfinished = 0;  // every page before it is written
  std::vector<char> finished(builds.size(), 0);
  bool failed = false;
  std::exception_ptr error;  // the failure of page `error_page`
  size_t error_page = std::numeric_limits<size_t>::max();

  auto work = [&] {
    std::string page;  // capacity kept from page to page
    for (;;) {
      size_t k = 0;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] {
          return failed || next == builds.size() || next < first_unfinished + ahead;
        });
        if (failed || any_failed || next == builds.size()) return;
        k = next++;
      }
      try {
        page.clear();
        AtomicFileWriter file = open(k);
        PageOutput out(page, [&file](std::string_view bytes) { file.Write(bytes); });
        (*builds[k])(out);
        out.Finish();
        done(k, file);
      } catch (...) {
        const std::lock_guard lock(mutex);
        if (k < error_page) {
          error = std::current_exception();
          error_page = k;
        }
        failed = true;
        any_failed = true;
        changed.notify_all();
        return;
      }
      const std::lock_guard lock(mutex);
      finished[k] = 1;
      while (first_unfinished < builds.size() && finished[first_unfinished]) ++first_unfinished;
      changed.notify_all();
    }
  };

  {
    std::vector<std::jthread> helpers;  // joined when this block ends, however it ends
    for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace varnokel
