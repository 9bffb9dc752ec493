#include "listen/endpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace varnokel {

namespace {

constexpr size_t kIpv4Bytes = 4;
constexpr size_t kMappedPrefixBytes = 12;  // ::ffff: before a mapped IPv4 address
constexpr std::array<uint8_t, kMappedPrefixBytes> kMappedPrefix = {0, 0, 0, 0, 0,    0,
                                                                   0, 0, 0, 0, 0xFF, 0xFF};
constexpr char kFolderPortSeparator = '_';
constexpr char kFolderColon = '-';

std::optional<Endpoint> ParseAddress(std::string_view text) {
  const std::string copy(text);
  Endpoint endpoint;
  if (::inet_pton(AF_INET, copy.c_str(), endpoint.address.data()) == 1) return endpoint;
  endpoint.family = AF_INET6;
  if (::inet_pton(AF_INET6, copy.c_str(), endpoint.address.data()) == 1) return endpoint;
  return std::nullopt;
}

std::optional<uint16_t> ParsePort(std::string_view text, bool allow_zero) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 0xFFFF ||
      (value == 0 && !allow_zero))
    return std::nullopt;
  return static_cast<uint16_t>(value);
}

// Splits "ADDR:PORT", "[V6]:PORT", "[V6]" or "ADDR" into address and port
// texts (the port empty when there is none). A bare IPv6 address has more
// than one colon and no port.
bool SplitHostPort(std::string_view text, std::string_view& host, std::string_view& port) {
  if (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    host = text.substr(1, close - 1);
    const std::string_view after = text.substr(close + 1);
    if (!after.empty() && (!after.starts_with(':') || after.size() == 1)) return false;
    port = after.empty() ? after : after.substr(1);
    return host.find(':') != std::string_view::npos;  // brackets only around IPv6
  }
  const size_t colon = text.find(':');
  if (colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    return !port.empty();
  }
  host = text;
  port = {};
  return true;
}

std::string AddressText(const Endpoint& endpoint) {
  char text[INET6_ADDRSTRLEN] = {};
  ::inet_ntop(endpoint.family, endpoint.address.data(), text, sizeof text);
  return text;
}

}  // namespace

std::optional<Endpoint> ParseListenAddress(std::string_view text) {
  std::string_view host, port;
  const bool port_only = text.find_first_not_of("0123456789") == std::string_view::npos;
  if (port_only) {
    host = kDefaultListenHost;
    port = text;
  } else if (!SplitHostPort(text, host, port) || port.empty()) {
    return std::nullopt;
  }
  std::optional<Endpoint> endpoint = ParseAddress(host);
  const std::optional<uint16_t> number = ParsePort(port, /*allow_zero=*/true);
  if (!endpoint || !number) return std::nullopt;
  endpoint->port = *number;
  return endpoint;
}

std::optional<Endpoint> ParseAllowEntry(std::string_view text) {
  std::string_view host, port;
  if (!SplitHostPort(text, host, port)) return std::nullopt;
  std::optional<Endpoint> endpoint = ParseAddress(host);
  if (!endpoint) return std::nullopt;
  if (!port.empty()) {
    const std::optional<uint16_t> number = ParsePort(port, /*allow_zero=*/false);
    if (!number) return std::nullopt;
    endpoint->port = *number;
  }
  return endpoint;
}

std::string FormatEndpoint(const Endpoint& endpoint) {
  const std::string address = AddressText(endpoint);
  const std::string port = std::to_string(endpoint.port);
  return endpoint.family == AF_INET6 ? "[" + address + "]:" + port : address + ":" + port;
}

std::string SenderFolderName(const Endpoint& sender) {
  std::string name = AddressText(sender);
  std::replace(name.begin(), name.end(), ':', kFolderColon);
  return name + kFolderPortSeparator + std::to_string(sender.port);
}

std::optional<Endpoint> ParseSenderFolderName(std::string_view name) {
  const size_t separator = name.rfind(kFolderPortSeparator);
  if (separator == std::string_view::npos) return std::nullopt;
  std::string host(name.substr(0, separator));
  std::replace(host.begin(), host.end(), kFolderColon, ':');
  std::optional<Endpoint> endpoint = ParseAddress(host);
  const std::optional<uint16_t> port = ParsePort(name.substr(separator + 1), false);
  if (!endpoint || !port) return std::nullopt;
  endpoint->port = *port;
  // Only the name this endpoint is given: one folder per sender.
  if (SenderFolderName(*endpoint) != name) return std::nullopt;
  return endpoint;
}

Endpoint EndpointFromSocketAddress(const sockaddr_storage& address) {
  Endpoint endpoint;
  if (address.ss_family == AF_INET) {
    sockaddr_in v4;
    std::memcpy(&v4, &address, sizeof v4);
    std::memcpy(endpoint.address.data(), &v4.sin_addr, kIpv4Bytes);
    endpoint.port = ntohs(v4.sin_port);
    return endpoint;
  }
  sockaddr_in6 v6;
  std::memcpy(&v6, &address, sizeof v6);
  endpoint.port = ntohs(v6.sin6_port);
  const uint8_t* bytes = v6.sin6_addr.s6_addr;
  if (std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), bytes)) {
    std::memcpy(endpoint.address.data(), bytes + kMappedPrefixBytes, kIpv4Bytes);
  } else {
    endpoint.family = AF_INET6;
    std::memcpy(endpoint.address.data(), bytes, endpoint.address.size());
  }
  return endpoint;
}

socklen_t SocketAddressFromEndpoint(const Endpoint& endpoint, sockaddr_storage& address) {
  address = {};
  if (endpoint.family == AF_INET) {
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    v4.sin_port = htons(endpoint.port);
    std::memcpy(&v4.sin_addr, endpoint.address.data(), kIpv4Bytes);
    std::memcpy(&address, &v4, sizeof v4);
    return sizeof v4;
  }
  sockaddr_in6 v6{};
  v6.sin6_family = AF_INET6;
  v6.sin6_port = htons(endpoint.port);
  std::memcpy(&v6.sin6_addr, endpoint.address.data(), endpoint.address.size());
  std::memcpy(&address, &v6, sizeof v6);
  return sizeof v6;
}

bool IsWildcard(const Endpoint& endpoint) {
  return std::all_of(endpoint.address.begin(), endpoint.address.end(),
                     [](uint8_t byte) { return byte == 0; });
}

}  // namespace varnokel
