// SPDX-License-Identifier: GPL-3.0-or-later
// Network addresses of the listener and of the game servers sending to it,
// as text on the command line and as folder names below Logs/.
#pragma once

#include <sys/socket.h>

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnokel {

struct Endpoint {
  int family = AF_INET;               // AF_INET or AF_INET6
  std::array<uint8_t, 16> address{};  // the first 4 bytes for AF_INET
  uint16_t port = 0;                  // 0: any port (an --allow entry without one)

  bool SameHost(const Endpoint& other) const {
    return family == other.family && address == other.address;
  }
  bool operator==(const Endpoint&) const = default;
  auto operator<=>(const Endpoint&) const = default;
};

inline constexpr std::string_view kDefaultListenHost = "127.0.0.1";

// "[ADDR:]PORT" of --listen: an IPv4 address, or an IPv6 address in brackets
// ("[::1]:27500"); without one, 127.0.0.1. Port 0 lets the system choose.
std::optional<Endpoint> ParseListenAddress(std::string_view text);

// "IP[:PORT]" of --allow: an IPv4 address with an optional port, an IPv6
// address alone or in brackets with an optional port ("[2001:db8::7]:27015").
std::optional<Endpoint> ParseAllowEntry(std::string_view text);

// "192.0.2.7:27015", "[2001:db8::7]:27015".
std::string FormatEndpoint(const Endpoint& endpoint);

// The folder of a sender below Logs/, made from its numbers alone (nothing a
// datagram says reaches a path): address and port, an IPv6 address with "-"
// for its colons: "192.0.2.7_27015", "2001-db8--7_27015". And back.
std::string SenderFolderName(const Endpoint& sender);
std::optional<Endpoint> ParseSenderFolderName(std::string_view name);

// Socket addresses; an IPv4 address mapped into IPv6 (a dual-stack socket's
// view of an IPv4 sender) comes back as the IPv4 address.
Endpoint EndpointFromSocketAddress(const sockaddr_storage& address);
socklen_t SocketAddressFromEndpoint(const Endpoint& endpoint, sockaddr_storage& address);

// 0.0.0.0 or ::, every address of the machine.
bool IsWildcard(const Endpoint& endpoint);

}  // namespace varnokel
