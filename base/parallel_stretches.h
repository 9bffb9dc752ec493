// Work over many independent items, cut into one stretch of consecutive
// items per core: reading 100 000 player files, checking 100 000 pages.
#pragma once

#include <cstddef>
#include <functional>

namespace varnokel {

// Calls work(from, to) for consecutive stretches that together cover
// [0, count), one per core, each on a thread of its own (the first on the
// caller's). When calls throw, every stretch still runs to its end, and the
// exception of the first stretch that threw is rethrown: an error about an
// earlier item is reported before one about a later item.
void ForEachStretch(size_t count, const std::function<void(size_t from, size_t to)>& work);

}  // namespace varnokel
