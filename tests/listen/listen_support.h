// SPDX-License-Identifier: GPL-3.0-or-later
// The listener as a real process and a game server as a real UDP sender, on
// loopback: shared by the listener's tests and its benchmark.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/file_io.h"
#include "listen/endpoint.h"

namespace varnokel::testing {

// `line` (without its line end) as a game server sends it: with `secret` in
// the signed form, otherwise the plain one; LF, then a NUL when `nul`.
inline std::string ServerDatagram(std::string_view line,
                                  const std::optional<std::string>& secret = std::nullopt,
                                  bool nul = true) {
  std::string datagram = "\xFF\xFF\xFF\xFF";
  datagram += secret ? "S" + *secret : std::string("log ");
  datagram += line;
  datagram += '\n';
  if (nul) datagram += '\0';
  return datagram;
}

// The lines of a log, without their line ends.
inline std::vector<std::string> LinesOf(std::string_view log) {
  std::vector<std::string> lines;
  while (!log.empty()) {
    const size_t lf = log.find('\n');
    std::string_view line = log.substr(0, lf);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    log.remove_prefix(lf == std::string_view::npos ? log.size() : lf + 1);
  }
  return lines;
}

// The files of this process may grow to `bytes`; a write across that size
// writes what fits and fails with EFBIG, as on a disk that is full.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    old_signal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_signal_);
  }

 private:
  rlimit old_{};
  void (*old_signal_)(int) = nullptr;
};

// A UDP socket bound to `from` (an address with port 0 for any port).
class Sender {
 public:
  explicit Sender(std::string_view from) {
    const std::optional<Endpoint> local = ParseAllowEntry(from);
    if (!local) throw std::runtime_error("bad sender address");
    fd_ = ::socket(local->family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address{};
    const socklen_t length = SocketAddressFromEndpoint(*local, address);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) != 0)
      throw std::runtime_error("cannot bind the sender to " + std::string(from));
    socklen_t bound_length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &bound_length);
    self_ = EndpointFromSocketAddress(address);
  }
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;
  ~Sender() { ::close(fd_); }

  const Endpoint& self() const { return self_; }

  void Send(const Endpoint& to, std::string_view datagram) const {
    sockaddr_storage address{};
    const socklen_t length = SocketAddressFromEndpoint(to, address);
    ::sendto(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address),
             length);
  }

 private:
  int fd_ = -1;
  Endpoint self_;
};

// varnokel-cli --listen in a child process, its stderr in a file.
class ListenerProcess {
 public:
  ListenerProcess(const std::vector<std::string>& args, const std::filesystem::path& err_file,
                  const std::filesystem::path& out_file, const std::string& fault = {})
      : err_file_(err_file) {
    std::filesystem::remove(err_file);  // so that no earlier run's address is taken for this one's
    pid_ = ::fork();
    if (pid_ == 0) {
      const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(err, STDERR_FILENO);
      ::dup2(out, STDOUT_FILENO);
      if (!fault.empty()) ::setenv("VARNOKEL_FILE_FAULT", fault.c_str(), 1);
      std::vector<char*> argv;
      for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
  }
  ListenerProcess(const ListenerProcess&) = delete;
  ListenerProcess& operator=(const ListenerProcess&) = delete;
  ~ListenerProcess() {
    if (!exited_) {
      ::kill(pid_, SIGKILL);
      Wait(std::chrono::seconds(10));
    }
  }

  pid_t pid() const { return pid_; }

  // The address the listener reports it receives on, once it does; nullopt
  // when it has not within `limit` or ended before.
  std::optional<Endpoint> WaitReady(std::chrono::milliseconds limit) {
    constexpr std::string_view kMarker = "empfange Logs auf ";
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      const std::string err = Stderr();
      const size_t at = err.find(kMarker);
      const size_t stop = at == std::string::npos ? at : err.find(" (", at);
      if (stop != std::string::npos) {
        const size_t start = at + kMarker.size();
        return ParseListenAddress(err.substr(start, stop - start));
      }
      if (exited_ || Poll()) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
  }

  // The exit status, or -1 for a process ended by a signal or still running
  // after `limit` (it is then killed).
  int Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!exited_ && std::chrono::steady_clock::now() < end) {
      if (!Poll()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status_, 0);
      exited_ = true;
      return -1;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }

  void Signal(int signal) const { ::kill(pid_, signal); }
  std::string Stderr() const {
    return std::filesystem::exists(err_file_) ? ReadFileBytes(err_file_) : std::string();
  }

 private:
  bool Poll() {
    if (::waitpid(pid_, &status_, WNOHANG) == pid_) exited_ = true;
    return exited_;
  }

  std::filesystem::path err_file_;
  pid_t pid_ = -1;
  int status_ = 0;
  bool exited_ = false;
};

}  // namespace varnokel::testing
