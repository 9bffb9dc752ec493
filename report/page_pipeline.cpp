#include "report/page_pipeline.h"

namespace varnokel {

PagePipeline::PagePipeline(std::vector<const Build*> builds) : builds_(std::move(builds)) {
  if (!builds_.empty()) thread_ = std::thread(&PagePipeline::BuildAll, this);
}

PagePipeline::~PagePipeline() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

const std::string& PagePipeline::Next() {
  std::unique_lock lock(mutex_);
  released_ = handed_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return built_ > handed_ || error_; });
  if (built_ <= handed_) std::rethrow_exception(error_);
  return slots_[handed_++ % kSlots];
}

void PagePipeline::BuildAll() {
  for (size_t k = 0; k < builds_.size(); ++k) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || k < released_ + kSlots; });
      if (stop_) return;
    }
    // Slot k % kSlots is this thread's alone until `built_` passes k.
    std::string& page = slots_[k % kSlots];
    try {
      page.clear();
      (*builds_[k])(page);
    } catch (...) {
      const std::lock_guard lock(mutex_);
      error_ = std::current_exception();
      changed_.notify_all();
      return;
    }
    {
      const std::lock_guard lock(mutex_);
      built_ = k + 1;
    }
    changed_.notify_all();
  }
}

}  // namespace varnokel
