#include "listen/log_receiver.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "listen/day_files.h"
#include "log/log_datagram.h"

namespace varnokel {

namespace {

// Game-server log lines are far shorter; a longer datagram is malformed.
constexpr size_t kMaxDatagramBytes = 8192;
constexpr size_t kBatch = 64;  // datagrams taken per system call
// Asked for; the system may give less (net.core.rmem_max) unless the process
// may exceed that limit. Enough for seconds of 50 000 lines per second.
constexpr int kWantedReceiveBuffer = 64 << 20;
constexpr int kPollMilliseconds = 1000;
constexpr auto kDayFileIdle = std::chrono::minutes(2);

std::runtime_error SocketError(const std::string& what, const Endpoint& listen) {
  return std::runtime_error(what + " " + FormatEndpoint(listen) + ": " + std::strerror(errno));
}

}  // namespace

LogReceiver::LogReceiver(const Endpoint& listen, SenderFilter filter,
                         std::optional<std::string> secret, DayFileWriter& day_files,
                         ListenCounts& counts)
    : filter_(std::move(filter)),
      secret_(std::move(secret)),
      day_files_(day_files),
      counts_(counts) {
  socket_ = ::socket(listen.family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (socket_ < 0) throw SocketError("cannot open a socket for", listen);
  const int off = 0, on = 1;
  if (listen.family == AF_INET6) ::setsockopt(socket_, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  ::setsockopt(socket_, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
  if (::setsockopt(socket_, SOL_SOCKET, SO_RCVBUFFORCE, &kWantedReceiveBuffer,
                   sizeof kWantedReceiveBuffer) != 0)
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &kWantedReceiveBuffer,
                 sizeof kWantedReceiveBuffer);
  socklen_t length = sizeof receive_buffer_bytes_;
  ::getsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &receive_buffer_bytes_, &length);

  sockaddr_storage address{};
  length = SocketAddressFromEndpoint(listen, address);
  if (::bind(socket_, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    const std::runtime_error error = SocketError("cannot listen on", listen);
    ::close(socket_);
    throw error;
  }
  length = sizeof address;
  ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
  bound_ = listen;
  bound_.port = EndpointFromSocketAddress(address).port;
  stop_event_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

LogReceiver::~LogReceiver() {
  Stop();
  ::close(socket_);
  if (stop_event_ >= 0) ::close(stop_event_);
}

void LogReceiver::Start() {
  thread_ = std::thread([this] { Run(); });
}

void LogReceiver::Stop() {
  if (!thread_.joinable()) return;
  const uint64_t one = 1;
  (void)::write(stop_event_, &one, sizeof one);
  thread_.join();
}

std::string LogReceiver::TakeWriteError() {
  std::lock_guard<std::mutex> lock(error_mutex_);
  return std::exchange(write_error_, std::string());
}

void LogReceiver::Accept(const sockaddr_storage& from, std::string_view datagram) {
  ++counts_.datagrams;
  const Endpoint sender = EndpointFromSocketAddress(from);
  if (!filter_.Allows(sender)) {
    ++counts_.foreign;
    return;
  }
  const LogDatagram parsed = ParseLogDatagram(datagram, secret_);
  switch (parsed.verdict) {
    case DatagramVerdict::kLine:
      day_files_.Add(SenderFolderName(sender), parsed.line);
      return;
    case DatagramVerdict::kWrongSecret:
      ++counts_.wrong_secret;
      return;
    case DatagramVerdict::kMalformed:
      ++counts_.malformed;
      return;
  }
}

void LogReceiver::Run() {
  std::vector<char> buffers(kBatch * kMaxDatagramBytes);
  std::array<sockaddr_storage, kBatch> senders{};
  std::array<iovec, kBatch> pieces{};
  std::array<mmsghdr, kBatch> messages{};
  using Control = std::array<char, CMSG_SPACE(sizeof(uint32_t))>;
  std::array<Control, kBatch> controls{};
  bool stopping = false;
  for (;;) {
    pollfd waits[2] = {{socket_, POLLIN, 0}, {stop_event_, POLLIN, 0}};
    const int ready = ::poll(waits, 2, stopping ? 0 : kPollMilliseconds);
    if (ready < 0 && errno != EINTR) break;
    if (waits[1].revents & POLLIN) stopping = true;
    // Take everything the socket holds, a batch per call, each batch
    // written to the day files before the next is taken.
    for (;;) {
      for (size_t i = 0; i < kBatch; ++i) {
        pieces[i] = {buffers.data() + i * kMaxDatagramBytes, kMaxDatagramBytes};
        messages[i] = {};
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        messages[i].msg_hdr.msg_iov = &pieces[i];
        messages[i].msg_hdr.msg_iovlen = 1;
        messages[i].msg_hdr.msg_control = controls[i].data();
        messages[i].msg_hdr.msg_controllen = controls[i].size();
      }
      const int got = ::recvmmsg(socket_, messages.data(), kBatch, MSG_DONTWAIT, nullptr);
      if (got <= 0) break;
      for (int i = 0; i < got; ++i) {
        const msghdr& header = messages[i].msg_hdr;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr;
             c = CMSG_NXTHDR(const_cast<msghdr*>(&header), c)) {
          if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
            uint32_t dropped = 0;
            std::memcpy(&dropped, CMSG_DATA(c), sizeof dropped);
            counts_.overflowed = dropped;  // the socket's total so far
          }
        }
        if (header.msg_flags & MSG_TRUNC) {
          ++counts_.datagrams;
          ++counts_.malformed;
          continue;
        }
        Accept(senders[static_cast<size_t>(i)],
               std::string_view(buffers.data() + static_cast<size_t>(i) * kMaxDatagramBytes,
                                messages[i].msg_len));
      }
      const DayFileWriter::Outcome outcome = day_files_.Flush();
      counts_.written += outcome.written;
      counts_.unwritten += outcome.failed;
      if (!outcome.error.empty()) {
        std::lock_guard<std::mutex> lock(error_mutex_);
        write_error_ = outcome.error;
      }
    }
    if (stopping) break;
    day_files_.CloseIdle(DayFileWriter::Clock::now() - kDayFileIdle);
  }
}

}  // namespace varnokel
