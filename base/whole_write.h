// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a whole buffer through a write(2)-like call that may write less
// than asked or be interrupted.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

namespace varnokel {

// Calls `write_some(data, size, done)` (`done`: the bytes written so far)
// until all of `bytes` is written, again after EINTR. Returns 0, or the errno
// of the call that failed (errno is still set to it).
template <typename WriteSome>
int WriteWhole(std::string_view bytes, WriteSome&& write_some) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write_some(bytes.data() + done, bytes.size() - done, done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace varnokel
