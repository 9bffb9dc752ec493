// SPDX-License-Identifier: GPL-3.0-or-later
// Work over many independent items, cut into one stretch of consecutive
// items per core: reading 100 000 player files, checking 100 000 pages.
#pragma once

#include <cstddef>
#include <functional>

namespace varnokel {

// Calls work(from, to) for consecutive stretches that together cover
// [0, count), one per core but none shorter than `min_items` (unless it is
// the only one), each on a thread of its own (the first on the caller's).
// When calls throw, every stretch still runs to its end, and the exception
// of the first stretch that threw is rethrown: an error about an earlier item
// is reported before one about a later item.
inline constexpr size_t kDefaultMinItemsPerStretch = 256;
void ForEachStretch(size_t count, const std::function<void(size_t from, size_t to)>& work,
                    size_t min_items = kDefaultMinItemsPerStretch);

}  // namespace varnokel
