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
  if (bitmap.Read(in)) {
    bitmap.UnPadBits();
    std::ostringstream out(std::ios::binary);
    bitmap.Write(out);
  }
  return 0;
}
