#include "archive/limited_server.h"

#include <httplib.h>
#ifndef _WIN32
#include <poll.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The most a request may bring: a GET or HEAD is its line and headers, far
// smaller; one endless line must not fill the memory.
constexpr size_t kRequestMaxBytes = 64 * 1024;

#ifdef _WIN32
int Poll(pollfd* watched, int wait_ms) { return WSAPoll(watched, 1, wait_ms); }
constexpr int kShutdownBoth = SD_BOTH;
constexpr int kSendFlags = 0;
#else
int Poll(pollfd* watched, int wait_ms) { return poll(watched, 1, wait_ms); }
constexpr int kShutdownBoth = SHUT_RDWR;
// A client gone away must not end the server with SIGPIPE.
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

std::chrono::milliseconds Milliseconds(time_t seconds, time_t microseconds) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::seconds(seconds) + std::chrono::microseconds(microseconds));
}

// The numeric address and port of one end of socket: get is getpeername or
// getsockname.
void AddressOf(socket_t socket, decltype(&getpeername) get, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  char host[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (get(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      getnameinfo(reinterpret_cast<sockaddr*>(&address), size, host, sizeof host, service,
                  sizeof service, NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
    return;
  }
  ip = host;
  port = std::atoi(service);
}

// A connection as the library reads and writes it, with the library's read
// and write timeouts, where a read also ends at the current request's
// deadline: a request trickling in a byte at a time cannot hold its
// connection, and with it one of the server's threads, for long.
class DeadlineStream : public httplib::Stream {
 public:
  DeadlineStream(socket_t socket, std::chrono::milliseconds read_timeout,
                 std::chrono::milliseconds write_timeout)
      : socket_(socket), read_timeout_(read_timeout), write_timeout_(write_timeout) {}

  // Waits up to wait for the next request; true when it began, and must
  // then be read by limit from now.
  bool NextRequest(std::chrono::milliseconds wait, std::chrono::milliseconds limit) {
    if (begin_ == end_ && !Wait(POLLIN, wait)) return false;
    deadline_ = std::chrono::steady_clock::now() + limit;
    request_bytes_ = 0;
    return true;
  }

  // True once a read ended because the request was not read by its
  // deadline or brought more than kRequestMaxBytes.
  bool cut_off() const { return cut_off_; }

  // True when there is something to read before the read timeout and the
  // deadline.
  bool is_readable() const override {
    if (begin_ < end_) return true;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    return left.count() > 0 && Wait(POLLIN, std::min(read_timeout_, left));
  }

  // True when a write can start within the write timeout and the client is
  // still there (as the library tells it: readable with nothing to read
  // means it closed).
  bool is_writable() const override {
    if (!Wait(POLLOUT, write_timeout_)) return false;
    if (!Wait(POLLIN, std::chrono::milliseconds(0))) return true;
    char byte;
    return httplib::detail::read_socket(socket_, &byte, 1, MSG_PEEK) > 0;
  }

  ssize_t read(char* data, size_t size) override {
    if (begin_ == end_) {
      if (!is_readable()) {
        cut_off_ = std::chrono::steady_clock::now() >= deadline_;
        return -1;
      }
      const ssize_t got = httplib::detail::read_socket(socket_, buffer_.data(), buffer_.size(), 0);
      if (got <= 0) return got;
      request_bytes_ += static_cast<size_t>(got);
      if (request_bytes_ > kRequestMaxBytes) {
        cut_off_ = true;
        return -1;
      }
      begin_ = 0;
      end_ = static_cast<size_t>(got);
    }
    const size_t taken = std::min(size, end_ - begin_);
    std::memcpy(data, buffer_.data() + begin_, taken);
    begin_ += taken;
    return static_cast<ssize_t>(taken);
  }

  ssize_t write(const char* data, size_t size) override {
    if (!is_writable()) return -1;
    return httplib::detail::send_socket(socket_, data, size, kSendFlags);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(socket_, &getpeername, ip, port);
  }

  void get_local_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(socket_, &getsockname, ip, port);
  }

  socket_t socket() const override { return socket_; }

 private:
  // True once socket_ is ready for events, waiting at most wait.
  bool Wait(short events, std::chrono::milliseconds wait) const {
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      pollfd watched{socket_, events, 0};
      const int ready = Poll(&watched, static_cast<int>(std::max<int64_t>(left.count(), 0)));
      if (ready >= 0 || errno != EINTR || left.count() <= 0) return ready > 0;
    }
  }

  const socket_t socket_;
  const std::chrono::milliseconds read_timeout_;
  const std::chrono::milliseconds write_timeout_;
  std::chrono::steady_clock::time_point deadline_;
  bool cut_off_ = false;
  size_t request_bytes_ = 0;
  std::array<char, 4096> buffer_;
  size_t begin_ = 0;  // what is read and not yet taken: buffer_[begin_, end_)
  size_t end_ = 0;
};

// The library's server, whose connections keep alive as the library's do,
// with a limit on the time a request takes to arrive.
class LimitedServer : public httplib::Server {
 public:
  explicit LimitedServer(std::chrono::milliseconds request_limit) : request_limit_(request_limit) {}

 private:
  bool process_and_close_socket(socket_t socket) override {
    DeadlineStream stream(socket, Milliseconds(read_timeout_sec_, read_timeout_usec_),
                          Milliseconds(write_timeout_sec_, write_timeout_usec_));
    bool served = false;
    for (size_t left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
      if (!stream.NextRequest(std::chrono::seconds(keep_alive_timeout_sec_), request_limit_)) break;
      bool closed = false, body_unread = false;
      served = process_request(stream, left == 1, closed, [&](httplib::Request& request) {
        const std::string length = request.get_header_value("Content-Length");
        body_unread = request.has_header("Transfer-Encoding") ||
                      std::strtoull(length.c_str(), nullptr, 10) > 0;
      });
      if (!served || closed || body_unread || stream.cut_off()) break;
    }
    shutdown(socket, kShutdownBoth);
    httplib::detail::close_socket(socket);
    return served;
  }

  const std::chrono::milliseconds request_limit_;
};

}  // namespace

std::unique_ptr<httplib::Server> NewLimitedServer(std::chrono::milliseconds request_limit) {
  return std::make_unique<LimitedServer>(request_limit);
}
