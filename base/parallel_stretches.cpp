#include "base/parallel_stretches.h"

#include <algorithm>
#include <exception>
#include <thread>
#include <vector>

namespace varnokel {

void ForEachStretch(size_t count, const std::function<void(size_t from, size_t to)>& work,
                    size_t min_items) {
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t stretches = std::clamp<size_t>(count / std::max<size_t>(min_items, 1), 1, cores);
  std::vector<std::exception_ptr> errors(stretches);
  auto run = [&](size_t s) {
    try {
      work(count * s / stretches, count * (s + 1) / stretches);
    } catch (...) {
      errors[s] = std::current_exception();
    }
  };
  {
    std::vector<std::jthread> helpers;  // joined when this block ends
    for (size_t s = 1; s < stretches; ++s) helpers.emplace_back(run, s);
    run(0);
  }
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
}

}  // namespace varnokel
