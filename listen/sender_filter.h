// SPDX-License-Identifier: GPL-3.0-or-later
// Which senders the listener takes datagrams from.
#pragma once

#include <vector>

#include "listen/endpoint.h"

namespace varnokel {

class SenderFilter {
 public:
  // The --allow entries (an entry without a port allows every port of its
  // host). Without any, only the listening host itself: the listen address,
  // or for a wildcard one every address of this machine (loopback included).
  SenderFilter(std::vector<Endpoint> allowed, const Endpoint& listen);

  bool Allows(const Endpoint& sender) const;

 private:
  std::vector<Endpoint> allowed_;
};

}  // namespace varnokel
