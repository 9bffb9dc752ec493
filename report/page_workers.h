// Pages built and written on as many threads as the machine has cores: for a
// large site the time goes into building the tables (the program's) and, most
// of all, into writing them (the kernel's), and both spread over the cores.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>

namespace varnokel {

// Appends a page's bytes to an empty text.
using PageBuild = std::function<void(std::string& page)>;
// Stores page `k`'s bytes.
using PageWrite = std::function<void(size_t k, const std::string& bytes)>;

// Builds page k with builds[k] and hands it to `write`, for k = 0, 1, ...:
// the threads take the pages in that order, each building into a text of its
// own whose capacity it keeps (the largest pages are tens of megabytes), and
// none begins a page more than a few pages per thread past the first page not
// yet written. The builders and `write` must be safe to call at once for
// different pages. When one of them throws, no page is begun after that, the
// pages under way are finished, and the failure of the lowest page number is
// rethrown: every page before it is written, and of the pages after it only
// some of those few.
void BuildAndWritePages(std::span<const PageBuild* const> builds, const PageWrite& write);

}  // namespace varnokel
