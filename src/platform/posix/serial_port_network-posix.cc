// PosixSerialPort's network input: a device server's connection, or a
// listener that takes print jobs one connection at a time.

#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/network_device.h"
#include "platform/posix/serial_port-posix.h"
#include "platform/posix/socket-posix.h"

namespace {

constexpr auto kRefusalLogPeriod = std::chrono::minutes(1);
constexpr int32_t kMinuteMs = 60 * 1000;

}  // namespace

bool PosixSerialPort::OpenNetwork(const std::string& path) {
  const std::optional<NetworkDevice> device = ParseNetworkDevice(path);
  if (!device) return false;
  if (device->listen) {
    listener_ = ListenTcp(*device, path);
  } else {
    fd_ = ConnectTcp(*device, path);
    socket_ = true;
  }
  return true;
}

void PosixSerialPort::OnConnectionWaiting() {
  std::string peer;
  const int fd = AcceptTcp(listener_, &peer);
  if (fd < 0) return;
  if (!PeerFilter(network_options().allow_from).Allows(peer)) {
    close(fd);
    LogRefusal(peer);
    return;
  }
  // The next peer waits in the listen queue until this job ends.
  loop_.Unwatch(listener_);
  fd_ = fd;
  socket_ = true;
  peer_ = peer;
  silent_minutes_ = 0;
  // An end the last job's final Input met outside a receive event was left
  // to the silence; it is not this job's.
  job_ended_ = false;
  if (!idle_timer_) idle_timer_ = loop_.CreateTimer([this] { CheckIdle(); });
  idle_timer_->SetInterval(kMinuteMs);
  idle_timer_->SetEnabled(true);
  loop_.WatchReadable(fd_, [this] { OnReadable(); });
}

void PosixSerialPort::LogRefusal(const std::string& peer) {
  const auto now = std::chrono::steady_clock::now();
  if (last_refusal_logged_ && now - *last_refusal_logged_ < kRefusalLogPeriod) {
    ++refusals_unlogged_;
    return;
  }
  std::string line =
      "Refused a connection from " + peer + " to " + DevicePath() + ": not allowed by AllowFrom";
  if (refusals_unlogged_ > 0) {
    line += " (and " + std::to_string(refusals_unlogged_) + " since the last such line)";
  }
  Log(line);
  last_refusal_logged_ = now;
  refusals_unlogged_ = 0;
}

void PosixSerialPort::EndConnection() {
  loop_.Unwatch(fd_);
  close(fd_);
  fd_ = -1;
  socket_ = false;
  job_ended_ = true;
  idle_timer_->SetEnabled(false);
  loop_.WatchReadable(listener_, [this] { OnConnectionWaiting(); });
}

void PosixSerialPort::CheckIdle() {
  if (fd_ < 0 || ++silent_minutes_ < network_options().idle_minutes) return;
  Log("Closed the connection from " + peer_ + " to " + DevicePath() + ": silent for " +
      std::to_string(silent_minutes_) + " minutes");
  Drain();
  if (fd_ >= 0) EndConnection();
  OnReadable();
}
