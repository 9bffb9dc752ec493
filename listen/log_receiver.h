// SPDX-License-Identifier: GPL-3.0-or-later
// Receiving the log stream: a UDP socket and a thread that takes every
// datagram off it as soon as it arrives, keeps the accepted lines in their
// day files and counts the rest. Folding runs in another thread, so a long
// fold or report never leaves datagrams waiting in the socket.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "listen/drop_notices.h"
#include "listen/endpoint.h"
#include "listen/sender_filter.h"

namespace varnokel {

class DayFileWriter;

// What the listener did with the datagrams, counted by the receiving thread
// and read by the folding one.
struct ListenCounts {
  std::atomic<uint64_t> datagrams{0};     // received
  std::atomic<uint64_t> written{0};       // lines kept in their day files
  std::atomic<uint64_t> wrong_date{0};    // of them, or not written: dated off the calendar
  std::atomic<uint64_t> foreign{0};       // from a sender not allowed
  std::atomic<uint64_t> wrong_secret{0};  // another secret, or none where one is set
  std::atomic<uint64_t> malformed{0};     // no log line in the server's format
  std::atomic<uint64_t> unwritten{0};     // could not be written to their day file
  std::atomic<uint64_t> overflowed{0};    // lost in a full receive buffer (system count)

  uint64_t Dropped() const { return foreign + wrong_secret + malformed + unwritten; }
};

class LogReceiver {
 public:
  // Binds a UDP socket to `listen` (an IPv6 wildcard takes IPv4 senders too)
  // with a receive buffer for a few seconds of a busy stream. Throws
  // std::runtime_error naming the address when it cannot.
  LogReceiver(const Endpoint& listen, SenderFilter filter, std::optional<std::string> secret,
              DayFileWriter& day_files, ListenCounts& counts);
  LogReceiver(const LogReceiver&) = delete;
  LogReceiver& operator=(const LogReceiver&) = delete;
  ~LogReceiver();  // stops as Stop does

  Endpoint bound() const { return bound_; }  // with the port the system chose
  int receive_buffer_bytes() const { return receive_buffer_bytes_; }

  void Start();
  // Takes what the socket still holds, writes it, then ends the thread.
  void Stop();

  // The last reason lines could not be written, once (empty when none since).
  std::string TakeWriteError();
  // What DropNotices said since the last call, and when lines began and
  // ended waiting in memory for room on the disk.
  std::vector<std::string> TakeNotices();

 private:
  struct Batch;

  void Run();
  // Takes up to one batch of datagrams off the socket; returns how many.
  size_t ReceiveBatch();
  void Accept(const sockaddr_storage& from, std::string_view datagram);
  void WriteQueued();
  // Tells when lines begin or end waiting for room; `held` as Flush counted.
  void NoteHeld(size_t held, const std::string& no_room);
  // At the end: the lines still waiting are lost.
  void DropHeld();

  int socket_ = -1;
  int stop_event_ = -1;
  Endpoint bound_;
  int receive_buffer_bytes_ = 0;
  SenderFilter filter_;
  std::optional<std::string> secret_;
  DayFileWriter& day_files_;
  ListenCounts& counts_;
  DropNotices notices_;
  std::unique_ptr<Batch> batch_;
  std::thread thread_;
  std::mutex error_mutex_;
  std::string write_error_;
  std::vector<std::string> held_notices_;
  bool holding_ = false;  // of the receiving thread
};

}  // namespace varnokel
