#include "listen/log_receiver.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <utility>
#include <vector>

#include "listen/day_calendar.h"
#include "listen/day_files.h"
#include "log/log_datagram.h"

namespace varnokel {

namespace {

// Game-server log lines are far shorter; a longer datagram is malformed.
constexpr size_t kMaxDatagramBytes = 8192;
constexpr size_t kBatch = 64;         // datagrams taken per system call
constexpr size_t kWriteEvery = 4096;  // datagrams taken before their lines are written
constexpr auto kWriteAfter = std::chrono::milliseconds(100);  // at the latest
// Asked for; the system may give less (net.core.rmem_max) unless the process
// may exceed that limit. Enough for seconds of 50 000 lines per second.
constexpr int kWantedReceiveBuffer = 64 << 20;
constexpr int kPollMilliseconds = 1000;
constexpr auto kDayFileIdle = std::chrono::minutes(2);
constexpr auto kLookForIdleEvery = std::chrono::seconds(30);
// Lines waiting for room on the disk are tried again this often.
constexpr auto kRetryHeldEvery = std::chrono::seconds(1);
constexpr uint64_t kBytesPerMegabyte = 1 << 20;

std::runtime_error SocketError(const std::string& what, const Endpoint& listen) {
  return std::runtime_error(what + " " + FormatEndpoint(listen) + ": " + std::strerror(errno));
}

}  // namespace

// The message headers and buffers of one recvmmsg call.
struct LogReceiver::Batch {
  using Control = std::array<char, CMSG_SPACE(sizeof(uint32_t))>;
  std::vector<char> bytes = std::vector<char>(kBatch * kMaxDatagramBytes);
  std::array<sockaddr_storage, kBatch> senders{};
  std::array<iovec, kBatch> pieces{};
  std::array<Control, kBatch> controls{};
  std::array<mmsghdr, kBatch> messages{};

  std::string_view Datagram(size_t i) const {
    return std::string_view(bytes.data() + i * kMaxDatagramBytes, messages[i].msg_len);
  }
};

LogReceiver::LogReceiver(const Endpoint& listen, SenderFilter filter,
                         std::optional<std::string> secret, DayFileWriter& day_files,
                         ListenCounts& counts)
    : filter_(std::move(filter)),
      secret_(std::move(secret)),
      day_files_(day_files),
      counts_(counts),
      batch_(std::make_unique<Batch>()) {
  socket_ = ::socket(listen.family, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (socket_ < 0) throw SocketError("kein Socket f\xC3\xBCr", listen);
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
    const std::runtime_error error = SocketError("kann nicht empfangen auf", listen);
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
  // An eventfd write of 1 cannot fail short of overflowing the counter.
  if (::write(stop_event_, &one, sizeof one) < 0) errno = 0;
  thread_.join();
}

std::string LogReceiver::TakeWriteError() {
  std::lock_guard<std::mutex> lock(error_mutex_);
  return std::exchange(write_error_, std::string());
}

std::vector<std::string> LogReceiver::TakeNotices() {
  std::vector<std::string> notices = notices_.Take();
  std::lock_guard<std::mutex> lock(error_mutex_);
  notices.insert(notices.end(), held_notices_.begin(), held_notices_.end());
  held_notices_.clear();
  return notices;
}

void LogReceiver::Accept(const sockaddr_storage& from, std::string_view datagram) {
  ++counts_.datagrams;
  const Endpoint sender = EndpointFromSocketAddress(from);
  if (!filter_.Allows(sender)) {
    ++counts_.foreign;
    notices_.Note(sender, DropKind::kForeign);
    return;
  }
  const LogDatagram parsed = ParseLogDatagram(datagram, secret_);
  switch (parsed.verdict) {
    case DatagramVerdict::kLine:
      if (!day_files_.Add(sender, parsed.line)) {
        ++counts_.wrong_date;
        notices_.Note(sender, DropKind::kWrongDate, parsed.line);
      }
      return;
    case DatagramVerdict::kWrongSecret:
      ++counts_.wrong_secret;
      notices_.Note(sender, DropKind::kWrongSecret);
      return;
    case DatagramVerdict::kMalformed:
      ++counts_.malformed;
      notices_.Note(sender, DropKind::kMalformed);
      return;
  }
}

size_t LogReceiver::ReceiveBatch() {
  Batch& b = *batch_;
  for (size_t i = 0; i < kBatch; ++i) {
    b.pieces[i] = {b.bytes.data() + i * kMaxDatagramBytes, kMaxDatagramBytes};
    b.messages[i] = {};
    msghdr& header = b.messages[i].msg_hdr;
    header.msg_name = &b.senders[i];
    header.msg_namelen = sizeof b.senders[i];
    header.msg_iov = &b.pieces[i];
    header.msg_iovlen = 1;
    header.msg_control = b.controls[i].data();
    header.msg_controllen = b.controls[i].size();
  }
  const int got = ::recvmmsg(socket_, b.messages.data(), kBatch, MSG_DONTWAIT, nullptr);
  if (got <= 0) return 0;
  for (size_t i = 0; i < static_cast<size_t>(got); ++i) {
    msghdr& header = b.messages[i].msg_hdr;
    for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
        uint32_t dropped = 0;
        std::memcpy(&dropped, CMSG_DATA(c), sizeof dropped);
        counts_.overflowed = dropped;  // the socket's total so far
      }
    }
    if (header.msg_flags & MSG_TRUNC) {
      ++counts_.datagrams;
      ++counts_.malformed;
      notices_.Note(EndpointFromSocketAddress(b.senders[i]), DropKind::kMalformed);
      continue;
    }
    Accept(b.senders[i], b.Datagram(i));
  }
  return static_cast<size_t>(got);
}

void LogReceiver::WriteQueued() {
  const DayFileWriter::Outcome outcome = day_files_.Flush();
  counts_.written += outcome.written;
  counts_.unwritten += outcome.failed;
  if (!outcome.error.empty()) {
    std::lock_guard<std::mutex> lock(error_mutex_);
    write_error_ = outcome.error;
  }
  NoteHeld(outcome.held, outcome.no_room);
}

void LogReceiver::NoteHeld(size_t held, const std::string& no_room) {
  if ((held > 0) == holding_) return;
  holding_ = held > 0;
  std::string notice =
      holding_ ? no_room + "; " + std::to_string(held) +
                     " Zeilen warten im Speicher (h\xC3\xB6"
                     "chstens " +
                     std::to_string(kMaxHeldBytes / kBytesPerMegabyte) +
                     " MB) und werden geschrieben, sobald wieder Platz ist"
               : std::string("wieder Platz: die wartenden Zeilen sind in ihren Tagesdateien");
  std::lock_guard<std::mutex> lock(error_mutex_);
  held_notices_.push_back(std::move(notice));
}

void LogReceiver::DropHeld() {
  const size_t lost = day_files_.DropHeld();
  if (lost == 0) return;
  counts_.unwritten += lost;
  std::lock_guard<std::mutex> lock(error_mutex_);
  held_notices_.push_back(std::to_string(lost) +
                          " wartende Zeilen beim Beenden nicht geschrieben (kein Platz)");
}

void LogReceiver::Run() {
  using Clock = std::chrono::steady_clock;
  bool stopping = false;
  Clock::time_point idle_looked_for = Clock::now(), first_queued, held_tried;
  size_t queued = 0;
  while (!stopping) {
    const auto write_due = std::chrono::duration_cast<std::chrono::milliseconds>(
        first_queued + kWriteAfter - Clock::now());
    const int wait =
        queued > 0 ? static_cast<int>(std::max<int64_t>(write_due.count(), 0)) : kPollMilliseconds;
    pollfd waits[2] = {{socket_, POLLIN, 0}, {stop_event_, POLLIN, 0}};
    if (::poll(waits, 2, wait) < 0 && errno != EINTR) break;
    stopping = (waits[1].revents & POLLIN) != 0;
    day_files_.SetToday(LocalDayNumber(std::time(nullptr)));
    // Everything the socket holds, a batch per call. The lines go to their
    // day files every kWriteEvery datagrams, and kWriteAfter after the first
    // of them came at the latest: so that many senders at a trickle each
    // cost few writes too.
    for (size_t got; (got = ReceiveBatch()) > 0;) {
      if (queued == 0) first_queued = Clock::now();
      queued += got;
      if (queued >= kWriteEvery) {
        WriteQueued();
        queued = 0;
      }
    }
    const Clock::time_point now = Clock::now();
    if ((queued > 0 && (stopping || now - first_queued >= kWriteAfter)) ||
        (day_files_.Holding() && (stopping || now - held_tried >= kRetryHeldEvery))) {
      WriteQueued();
      queued = 0;
      held_tried = now;
    }
    if (now - idle_looked_for >= kLookForIdleEvery) {
      day_files_.CloseIdle(now - kDayFileIdle);
      idle_looked_for = now;
    }
  }
  if (queued > 0 || day_files_.Holding()) WriteQueued();
  DropHeld();
}

}  // namespace varnokel
