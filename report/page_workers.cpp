#include "report/page_workers.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace varnokel {

namespace {

constexpr unsigned kMaxThreads = 4;  // beyond this the folder's lock is the limit

}  // namespace

void BuildAndWritePages(std::span<const PageBuild* const> builds, const PageWrite& write) {
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex mutex;
  std::exception_ptr error;  // the failure of page `error_page`
  size_t error_page = std::numeric_limits<size_t>::max();

  auto work = [&] {
    std::string page;
    while (!failed) {
      const size_t k = next++;
      if (k >= builds.size()) return;
      try {
        page.clear();
        (*builds[k])(page);
        write(k, page);
      } catch (...) {
        const std::lock_guard lock(mutex);
        if (k < error_page) {
          error = std::current_exception();
          error_page = k;
        }
        failed = true;
      }
    }
  };

  const size_t threads = std::min<size_t>(
      {std::max(1u, std::thread::hardware_concurrency()), kMaxThreads, builds.size()});
  {
    std::vector<std::jthread> helpers;  // joined when this block ends, however it ends
    for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
    work();
  }
  if (error) std::rethrow_exception(error);
}

}  // namespace varnokel
