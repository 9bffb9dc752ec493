// SPDX-License-Identifier: GPL-3.0-or-later
// What the listener says about the datagrams it does not take as they come:
// a sender's first datagram of each kind of rejection is named once, with the
// sender's address, so that an operator sees a misconfigured server at once.
// The senders remembered are bounded, so a flood from ever new addresses
// costs no memory beyond that bound; past it, one more notice says that
// further senders are not named.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "listen/endpoint.h"

namespace varnokel {

enum class DropKind : uint8_t { kForeign, kWrongSecret, kMalformed, kWrongDate };

class DropNotices {
 public:
  static constexpr size_t kMaxSenders = 1024;

  // Notes a datagram of `kind` from `sender` (for kWrongDate, `line` is the
  // line); a notice when it is the sender's first of that kind.
  void Note(const Endpoint& sender, DropKind kind, std::string_view line = {});

  // The notices since the last call, oldest first. Safe to call from another
  // thread than the one noting.
  std::vector<std::string> Take();

 private:
  void Post(std::string text);

  std::set<std::pair<Endpoint, DropKind>> noticed_;
  bool overflow_noticed_ = false;
  std::mutex mutex_;
  std::vector<std::string> pending_;
};

}  // namespace varnokel
