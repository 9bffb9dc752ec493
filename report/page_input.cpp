#include "report/page_input.h"

#include <algorithm>

#include "base/hex_text.h"

namespace varnokel {

namespace {

// Values are hashed once this many bytes have gathered.
constexpr size_t kHashPieceBytes = 64 * 1024;

void AppendLittleEndian(std::string& out, uint64_t value) {
  char bytes[sizeof value];
  for (size_t k = 0; k < sizeof value; ++k) bytes[k] = static_cast<char>(value >> (8 * k) & 0xff);
  out.append(bytes, sizeof bytes);
}

}  // namespace

std::string FingerprintHex(const Fingerprint& fingerprint) {
  return HexOf(fingerprint);
}

bool ParseFingerprintHex(std::string_view hex, Fingerprint& fingerprint) {
  return ParseHex(hex, fingerprint);
}

PageInput::PageInput(std::string_view kind) {
  Text(kind);
}

PageInput& PageInput::Text(std::string_view text) {
  AppendLittleEndian(pending_, text.size());
  if (text.size() > kHashPieceBytes) {
    Flush();
    hash_.Add(text);
  } else {
    pending_ += text;
    if (pending_.size() >= kHashPieceBytes) Flush();
  }
  return *this;
}

PageInput& PageInput::Number(int64_t value) {
  AppendLittleEndian(pending_, static_cast<uint64_t>(value));
  if (pending_.size() >= kHashPieceBytes) Flush();
  return *this;
}

PageInput& PageInput::Input(const Fingerprint& part) {
  return Text(std::string_view(reinterpret_cast<const char*>(part.data()), part.size()));
}

Fingerprint PageInput::Value() {
  Flush();
  const Digest digest = hash_.Final();
  Fingerprint fingerprint{};
  std::copy_n(digest.begin(), kFingerprintBytes, fingerprint.begin());
  return fingerprint;
}

void PageInput::Flush() {
  hash_.Add(pending_);
  pending_.clear();
}

}  // namespace varnokel
