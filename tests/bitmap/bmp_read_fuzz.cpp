// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the BMP reader, then writes what it accepted back
// out, so both directions run on every header the fuzzer invents.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "skin/core/dib_bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    SetBitmapDiagnosticsHook([](const std::string&) {});
    return true;
  }();
  (void)quiet;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
  CDIBitmap bitmap;
  // Pictures of millions of rows are valid and read fine, but moving their rows
  // one by one under the sanitizers takes seconds; the round trip is only
  // worth it on pictures the fuzzer can run many times a second.
  constexpr std::size_t kRoundTripBytes = std::size_t{1} << 20;
  if (bitmap.Read(in) && bitmap.GetPixelBytes() <= kRoundTripBytes) {
    bitmap.UnPadBits();
    std::ostringstream out(std::ios::binary);
    bitmap.Write(out);
  }
  return 0;
}
