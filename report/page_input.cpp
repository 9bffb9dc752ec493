#include "report/page_input.h"

#include <algorithm>

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
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * kFingerprintBytes);
  for (uint8_t byte : fingerprint) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xF];
  }
  return hex;
}

bool ParseFingerprintHex(std::string_view hex, Fingerprint& fingerprint) {
  if (hex.size() != 2 * kFingerprintBytes) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (size_t i = 0; i < kFingerprintBytes; ++i) {
    const int high = nibble(hex[2 * i]), low = nibble(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    fingerprint[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return true;
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
