// SPDX-License-Identifier: GPL-3.0-or-later
// The input of a page: everything its bytes depend on, reduced to a short
// fingerprint. Two runs that give a page the same fingerprint (under the same
// site format) write the same bytes, so the second need not write it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/content_hash.h"

namespace varnokel {

// The first 128 bits of a SHA-256 digest: no two inputs of one site meet by
// chance, and making two meet on purpose takes about 2^64 trials.
inline constexpr size_t kFingerprintBytes = 16;
using Fingerprint = std::array<uint8_t, kFingerprintBytes>;

std::string FingerprintHex(const Fingerprint& fingerprint);
bool ParseFingerprintHex(std::string_view hex, Fingerprint& fingerprint);

// Collects the values a page is made from. Each value is added with its
// length, so that ("ab", "c") and ("a", "bc") differ. Values are gathered in
// a buffer and hashed in large pieces: a table adds a few short values for
// each of 100 000 players.
class PageInput {
 public:
  // `kind` names the page's writer, so two kinds of page never share an input.
  explicit PageInput(std::string_view kind);

  PageInput& Text(std::string_view text);
  PageInput& Number(int64_t value);
  // The input of something the page shows as it is (the names of a listing).
  PageInput& Input(const Fingerprint& part);

  Fingerprint Value();

 private:
  void Flush();

  ContentHash hash_;
  std::string pending_;
};

}  // namespace varnokel
