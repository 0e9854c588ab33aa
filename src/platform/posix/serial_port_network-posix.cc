// PosixSerialPort's network input: a device server's connection, or a
// listener that takes print jobs one connection at a time.

#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/network_device.h"
#include "platform/posix/serial_port-posix.h"
#include "platform/posix/socket-posix.h"

namespace {

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
    const auto line = refusals_.Refuse(peer, DevicePath(), std::chrono::steady_clock::now());
    if (line) Log(*line);
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
  Log(IdleCloseLine(peer_, DevicePath(), silent_minutes_));
  Drain();
  if (fd_ >= 0) EndConnection();
  OnReadable();
}
