#include "listen/sender_filter.h"

#include <ifaddrs.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace varnokel {

namespace {

// Every address of this machine's interfaces, loopback included.
std::vector<Endpoint> LocalAddresses() {
  std::vector<Endpoint> found;
  for (const char* loopback : {"127.0.0.1", "::1"}) found.push_back(*ParseAllowEntry(loopback));
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return found;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr) continue;
    const int family = entry->ifa_addr->sa_family;
    if (family != AF_INET && family != AF_INET6) continue;
    sockaddr_storage address{};
    std::memcpy(&address, entry->ifa_addr,
                family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6));
    Endpoint endpoint = EndpointFromSocketAddress(address);
    endpoint.port = 0;
    found.push_back(endpoint);
  }
  ::freeifaddrs(list);
  return found;
}

}  // namespace

SenderFilter::SenderFilter(std::vector<Endpoint> allowed, const Endpoint& listen)
    : allowed_(std::move(allowed)) {
  if (!allowed_.empty()) return;
  if (IsWildcard(listen)) {
    allowed_ = LocalAddresses();
  } else {
    allowed_.push_back(listen);
    allowed_.back().port = 0;
  }
}

bool SenderFilter::Allows(const Endpoint& sender) const {
  return std::any_of(allowed_.begin(), allowed_.end(), [&](const Endpoint& entry) {
    return entry.SameHost(sender) && (entry.port == 0 || entry.port == sender.port);
  });
}

}  // namespace varnokel
