#include "platform/network_device.h"

#include <algorithm>
#include <cctype>

#include "util/digits.h"
#include "util/numbered_error.h"

namespace {

constexpr char kListenPrefix[] = "tcp-listen:";
constexpr char kConnectPrefix[] = "tcp:";
constexpr char kMappedPrefix[] = "::ffff:";
constexpr auto kRefusalLogPeriod = std::chrono::minutes(1);

NumberedError Malformed(const std::string& path) {
  return NumberedError(kErrInvalidPropertyValue,
                       "Invalid property value: \"" + path +
                           "\" is no network device (tcp-listen:[ADDRESS:]PORT, tcp:HOST:PORT)");
}

bool IsPortNumber(const std::string& text) {
  if (text.size() > 5 || !AllDigits(text)) return false;
  const uint64_t number = DigitsValue(text);
  return number >= 1 && number <= 65535;
}

// "HOST:PORT", "[V6]:PORT" or, where the host may be left out, "PORT".
NetworkDevice SplitHostPort(const std::string& rest, bool listen, const std::string& path) {
  NetworkDevice device{listen, listen ? "127.0.0.1" : "", rest};
  const size_t colon = rest.rfind(':');
  if (colon != std::string::npos) {
    device.host = rest.substr(0, colon);
    device.port = rest.substr(colon + 1);
    if (device.host.size() >= 2 && device.host.front() == '[' && device.host.back() == ']') {
      device.host = device.host.substr(1, device.host.size() - 2);
    }
  }
  if (device.host.empty() || !IsPortNumber(device.port)) throw Malformed(path);
  return device;
}

std::string Unmapped(const std::string& address) {
  return address.starts_with(kMappedPrefix) ? address.substr(sizeof kMappedPrefix - 1) : address;
}

}  // namespace

std::optional<NetworkDevice> ParseNetworkDevice(const std::string& path) {
  if (path.starts_with(kListenPrefix)) {
    return SplitHostPort(path.substr(sizeof kListenPrefix - 1), true, path);
  }
  if (path.starts_with(kConnectPrefix)) {
    return SplitHostPort(path.substr(sizeof kConnectPrefix - 1), false, path);
  }
  return std::nullopt;
}

PeerFilter::PeerFilter(const std::string& text) {
  std::string word;
  for (char c : text + ",") {
    if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
      if (!word.empty()) allowed_.push_back(Unmapped(word));
      word.clear();
    } else {
      word += c;
    }
  }
}

bool PeerFilter::Allows(const std::string& address) const {
  const std::string peer = Unmapped(address);
  if (allowed_.empty()) return peer == "::1" || peer.starts_with("127.");
  return std::find(allowed_.begin(), allowed_.end(), peer) != allowed_.end();
}

std::optional<std::string> RefusalLog::Refuse(const std::string& peer, const std::string& device,
                                              std::chrono::steady_clock::time_point now) {
  if (last_logged_ && now - *last_logged_ < kRefusalLogPeriod) {
    ++unlogged_;
    return std::nullopt;
  }
  std::string line =
      "Refused a connection from " + peer + " to " + device + ": not allowed by AllowFrom";
  if (unlogged_ > 0) line += " (and " + std::to_string(unlogged_) + " since the last such line)";
  last_logged_ = now;
  unlogged_ = 0;
  return line;
}

std::string IdleCloseLine(const std::string& peer, const std::string& device, int minutes) {
  return "Closed the connection from " + peer + " to " + device + ": silent for " +
         std::to_string(minutes) + " minutes";
}
