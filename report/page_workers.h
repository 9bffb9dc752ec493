// SPDX-License-Identifier: GPL-3.0-or-later
// Pages built and written on as many threads as the machine has cores: for a
// large site the time goes into building the tables (the program's) and, most
// of all, into writing them (the kernel's), and both spread over the cores.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <span>

#include "base/file_io.h"
#include "report/page_output.h"

namespace varnokel {

// Appends a page's bytes to an empty output.
using PageBuild = std::function<void(PageOutput& page)>;
// Opens the file page `k` goes to.
using PageOpen = std::function<AtomicFileWriter(size_t k)>;
// Page `k`'s bytes are all in `file`: puts it in place.
using PageDone = std::function<void(size_t k, AtomicFileWriter& file)>;

// For k = 0, 1, ...: opens page k's file with `open`, builds the page into it
// with builds[k] and hands it to `done`. The threads take the pages in that
// order, each building into a text of its own whose capacity it keeps, and
// none begins a page more than a few pages per thread past the first page not
// yet done. The builders, `open` and `done` must be safe to call at once for
// different pages. When one of them throws, the file of that page is dropped
// (its target left as it was), no page is begun after that, the pages under
// way are finished, and the failure of the lowest page number is rethrown:
// every page before it is done, and of the pages after it only some of those
// few.
// The pages are built on min(`max_threads`, the cores, 4, pages) threads,
// the caller's the first. `any_failed` is shared with the writers of other pages
// at the same time: set when a page fails, here or there, no page is begun.
void BuildAndWritePages(std::span<const PageBuild* const> builds, const PageOpen& open,
                        const PageDone& done, size_t max_threads, std::atomic<bool>& any_failed);

}  // namespace varnokel
