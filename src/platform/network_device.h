#ifndef QUELLOR_PLATFORM_NETWORK_DEVICE_H_
#define QUELLOR_PLATFORM_NETWORK_DEVICE_H_

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// A device path that names network input instead of a serial device:
//   "tcp-listen:[ADDRESS:]PORT"  receive print jobs as a raw network printer
//                                (ADDRESS defaults to 127.0.0.1);
//   "tcp:HOST:PORT"              read a serial device server in raw TCP mode.
// An IPv6 address is written in brackets: "tcp-listen:[::1]:9100".
struct NetworkDevice {
  bool listen = false;
  std::string host;
  std::string port;
};

// The longest a device server's connection may take to be made.
inline constexpr int kConnectWaitMs = 3000;

// The network device path names; nothing for a path that is no network
// device (a serial device). Raises error 380, naming the path, for a network
// path that is malformed (no port, a port outside 1 to 65535).
std::optional<NetworkDevice> ParseNetworkDevice(const std::string& path);

// The peers that may print to a listening device: the addresses listed in
// text (separated by commas or blanks), or only loopback ones when text
// lists none. Addresses are compared as numeric texts; an IPv4 peer seen
// through an IPv6 socket ("::ffff:a.b.c.d") counts as a.b.c.d.
class PeerFilter {
 public:
  explicit PeerFilter(const std::string& text = "");
  bool Allows(const std::string& address) const;

 private:
  std::vector<std::string> allowed_;
};

// The log lines of refused peers, at most one a minute: a line left out is
// counted in the next one. Used by one thread at a time.
class RefusalLog {
 public:
  // The line to log for peer refused by the listener at device at now;
  // nothing when a line was logged less than a minute before.
  std::optional<std::string> Refuse(const std::string& peer, const std::string& device,
                                    std::chrono::steady_clock::time_point now);

 private:
  std::optional<std::chrono::steady_clock::time_point> last_logged_;
  int unlogged_ = 0;
};

// The log line of a connection from peer to device closed after minutes of
// silence.
std::string IdleCloseLine(const std::string& peer, const std::string& device, int minutes);

#endif  // QUELLOR_PLATFORM_NETWORK_DEVICE_H_
