#ifndef QUELLOR_PLATFORM_NETWORK_DEVICE_H_
#define QUELLOR_PLATFORM_NETWORK_DEVICE_H_

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

#endif  // QUELLOR_PLATFORM_NETWORK_DEVICE_H_
