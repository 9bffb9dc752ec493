// SPDX-License-Identifier: GPL-3.0-or-later
// SHA-256 of byte strings, fed in pieces, with the digest of every prefix
// reachable on the way (the state can be copied at any point).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace varnokel {

using Digest = std::array<uint8_t, 32>;

class ContentHash {
 public:
  ContentHash();
  ContentHash(const ContentHash& other);
  ContentHash& operator=(const ContentHash& other);
  ~ContentHash();

  void Add(std::string_view bytes);
  // The digest of everything added so far; the state stays usable.
  Digest Value() const;
  // The same without keeping the state (cheaper): the hash starts again empty.
  Digest Final();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

Digest HashOf(std::string_view bytes);

// Lower-case hexadecimal, 64 characters; and back (false for anything else).
std::string DigestHex(const Digest& digest);
bool ParseDigestHex(std::string_view hex, Digest& digest);

}  // namespace varnokel
