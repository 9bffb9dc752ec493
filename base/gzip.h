// SPDX-License-Identifier: GPL-3.0-or-later
// gzip (RFC 1952) for logs kept compressed: a log read from a .gz file is the
// log of its uncompressed bytes, wherever it is read.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/byte_buffer.h"

namespace varnokel {

// True when `bytes` begin as gzip data does (a plain log never does).
bool IsGzip(std::string_view bytes);

// `bytes` as one gzip member.
std::string GzipCompress(std::string_view bytes);

// Appends the uncompressed bytes of `compressed` (one or more gzip members)
// to `out`. Throws FileError(kOpen) naming `file` when the data is damaged
// or cut short; `out` is then unchanged.
void AppendGunzipped(ByteBuffer& out, std::string_view compressed,
                     const std::filesystem::path& file);

}  // namespace varnokel
