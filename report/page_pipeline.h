// Pages built on a second thread while the calling thread writes the page
// before: for a large site, building a table (the program's time) and writing
// the last one (the kernel's time) take about as long, so the two overlap.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace varnokel {

class PagePipeline {
 public:
  // Appends a page's bytes to an empty text.
  using Build = std::function<void(std::string& page)>;

  // Starts building the pages of `builds` in order, at most two ahead of the
  // one being written. The builders run on the second thread: they may only
  // read what nobody changes while the pipeline lives, and must outlive it.
  explicit PagePipeline(std::vector<const Build*> builds);
  PagePipeline(const PagePipeline&) = delete;
  PagePipeline& operator=(const PagePipeline&) = delete;
  // Stops building (a page being built is finished) and waits for the thread.
  ~PagePipeline();

  // The bytes of the next page, once built; they stay until the next call,
  // which also tells that this page is written. Rethrows what its builder
  // threw; the pages before it are handed out first.
  const std::string& Next();

 private:
  static constexpr size_t kSlots = 2;  // the page being written and the one being built

  void BuildAll();

  std::vector<const Build*> builds_;
  std::array<std::string, kSlots> slots_;  // page k in slot k % kSlots, capacity kept
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t built_ = 0;     // pages built
  size_t handed_ = 0;    // pages handed out by Next
  size_t released_ = 0;  // pages written, whose slots are free again
  bool stop_ = false;
  std::exception_ptr error_;  // what the builder of page `built_` threw
  std::thread thread_;        // last: starts when everything above is ready
};

}  // namespace varnokel
