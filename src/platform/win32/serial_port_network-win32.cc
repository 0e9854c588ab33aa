// Win32SerialPort's network input: a device server's connection, or a
// listener that takes print jobs one connection at a time, both read by the
// port's reader thread.

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/network_device.h"
#include "platform/win32/serial_port-win32.h"
#include "platform/win32/socket-win32.h"

namespace {

constexpr ULONGLONG kMinuteMs = 60 * 1000;
// How often a reader waiting for the loop to take a job's end looks again.
constexpr DWORD kJobEndPollMs = 10;

}  // namespace

bool Win32SerialPort::OpenNetwork(const std::string& path) {
  const std::optional<NetworkDevice> device = ParseNetworkDevice(path);
  if (!device) return false;
  socket_ = device->listen ? ListenTcp(*device, path) : ConnectTcp(*device, path);
  listening_ = device->listen;
  return true;
}

void Win32SerialPort::CloseNetwork() {
  if (connection_ != kNoSocket) CloseSocket(std::exchange(connection_, kNoSocket));
  if (socket_ != kNoSocket) CloseSocket(std::exchange(socket_, kNoSocket));
  listening_ = false;
}

void Win32SerialPort::ReadDeviceServer(const std::string& path) {
  std::string reason;
  while (!stop_reading_) {
    if (WaitReadable(socket_, kReadWaitMs) && Receive(socket_, &reason) < 0) {
      Lose(path, reason);
      return;
    }
  }
}

void Win32SerialPort::ReadListener(const std::string& path, const NetworkOptions& options) {
  const PeerFilter filter(options.allow_from);
  std::string peer;
  ULONGLONG last_heard = 0;
  while (!stop_reading_) {
    if (connection_ == kNoSocket) {
      // The next peer waits in the listen queue until this job's end is raised.
      if (JobEndPending()) {
        Sleep(kJobEndPollMs);
      } else if (WaitReadable(socket_, kReadWaitMs)) {
        Accept(path, filter, &peer);
        last_heard = GetTickCount64();
      }
      continue;
    }
    if (!WaitReadable(connection_, kReadWaitMs)) {
      if (GetTickCount64() - last_heard < options.idle_minutes * kMinuteMs) continue;
      Say(IdleCloseLine(peer, path, options.idle_minutes));
      EndConnection();
      continue;
    }
    std::string reason;
    const int count = Receive(connection_, &reason);
    if (count > 0) last_heard = GetTickCount64();
    if (count < 0) EndConnection();
  }
}

int Win32SerialPort::Receive(Socket line, std::string* reason) {
  std::lock_guard<std::mutex> lock(received_->mutex);
  const int count = ReceiveTcp(line, &received_->bytes, reason);
  if (count > 0) NotifyLoop();
  return count;
}

void Win32SerialPort::Accept(const std::string& path, const PeerFilter& filter, std::string* peer) {
  const Socket connection = AcceptTcp(socket_, peer);
  if (connection == kNoSocket) return;
  if (filter.Allows(*peer)) {
    connection_ = connection;
    return;
  }
  CloseSocket(connection);
  const auto line = refusals_.Refuse(*peer, path, std::chrono::steady_clock::now());
  if (line) Say(*line);
}

void Win32SerialPort::EndConnection() {
  CloseSocket(std::exchange(connection_, kNoSocket));
  std::lock_guard<std::mutex> lock(received_->mutex);
  received_->job_ended = true;
  NotifyLoop();
}

bool Win32SerialPort::JobEndPending() {
  std::lock_guard<std::mutex> lock(received_->mutex);
  return received_->job_ended;
}

void Win32SerialPort::Say(const std::string& line) {
  std::lock_guard<std::mutex> lock(received_->mutex);
  received_->lines.push_back(line);
  NotifyLoop();
}
