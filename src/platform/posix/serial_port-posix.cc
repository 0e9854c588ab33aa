#include "platform/posix/serial_port-posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/posix/line_speed-posix.h"
#include "util/numbered_error.h"

namespace {

// The termios constant for a speed; B0 for one termios names none of (set
// through termios2 instead).
speed_t TermiosSpeed(uint32_t speed) {
  static const std::pair<uint32_t, speed_t> kSpeeds[] = {
      {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
      {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
      {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
  };
  for (const auto& [value, code] : kSpeeds) {
    if (value == speed) return code;
  }
  return B0;
}

tcflag_t DataBitsFlag(int bits) {
  switch (bits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

tcflag_t ParityFlags(char parity) {
  switch (parity) {
    case 'e':
      return PARENB;
    case 'o':
      return PARENB | PARODD;
    case 'm':
      return PARENB | CMSPAR | PARODD;
    case 's':
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

NumberedError OpenError(int error, const std::string& path) {
  const std::string reason = std::strerror(error);
  if (error == ENOENT || error == ENXIO || error == ENODEV || error == ENOTTY) {
    return PortAbsent(path, reason);
  }
  return PortBusy(path, reason);
}

}  // namespace

PosixSerialPort::PosixSerialPort(PosixEventLoop& loop, LogSink log)
    : loop_(loop), log_(std::move(log)) {}

PosixSerialPort::~PosixSerialPort() { CloseDevice(); }

std::string PosixSerialPort::DeviceForPort(int16_t port) const {
  return "/dev/ttyS" + std::to_string(port - 1);
}

void PosixSerialPort::OpenDevice(const std::string& path) {
  if (OpenNetwork(path)) return;
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw OpenError(errno, path);
  // tcgetattr also refuses a device that is no terminal.
  termios probe;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0 || tcgetattr(fd, &probe) != 0) {
    const int error = errno == EWOULDBLOCK ? EBUSY : errno;
    close(fd);
    throw OpenError(error, path);
  }
  fd_ = fd;
}

void PosixSerialPort::ApplyLine(const SerialSettings& line) {
  if (socket_ || listener_ >= 0) return;
  termios raw;
  if (tcgetattr(fd_, &raw) != 0) throw OpenError(errno, DevicePath());
  cfmakeraw(&raw);
  // CIBAUD too: an input speed left from a termios2 rate would stay.
  raw.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CIBAUD);
  raw.c_cflag |= CLOCAL | CREAD | DataBitsFlag(line.data_bits) | ParityFlags(line.parity);
  if (line.stop_bits != SerialSettings::StopBits::kOne) raw.c_cflag |= CSTOPB;
  // With VMIN 0 an empty non-blocking read returns 0, which could not be told
  // from a hang-up; with 1 it fails with EAGAIN.
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // A rate termios names no constant for goes in through termios2 after
  // the rest of the mode; any constant stands in for it until then.
  const speed_t speed = TermiosSpeed(line.speed);
  cfsetispeed(&raw, speed == B0 ? B9600 : speed);
  cfsetospeed(&raw, speed == B0 ? B9600 : speed);
  if (tcsetattr(fd_, TCSANOW, &raw) != 0 || (speed == B0 && !SetLineSpeed(fd_, line.speed))) {
    throw LineRefused(std::strerror(errno));
  }
  if (line.stop_bits == SerialSettings::StopBits::kOneAndHalf && !told_two_stop_bits_ && log_) {
    told_two_stop_bits_ = true;
    log_("Settings \"" + Settings() + "\": termios has no 1.5 stop bits, 2 are used on " +
         DevicePath());
  }
}

void PosixSerialPort::StartReading() {
  if (listener_ >= 0) {
    loop_.WatchReadable(listener_, [this] { OnConnectionWaiting(); });
  } else {
    loop_.WatchReadable(fd_, [this] { OnReadable(); });
  }
}

void PosixSerialPort::StopReading() {
  if (fd_ >= 0) loop_.Unwatch(fd_);
  if (listener_ >= 0) loop_.Unwatch(listener_);
}

void PosixSerialPort::CloseDevice() {
  if (listener_ >= 0) {
    loop_.Unwatch(listener_);
    close(listener_);
    listener_ = -1;
  }
  if (idle_timer_) idle_timer_->SetEnabled(false);
  if (fd_ >= 0) {
    loop_.Unwatch(fd_);
    if (!socket_) ioctl(fd_, TIOCNXCL);
    close(fd_);  // also drops the flock
    fd_ = -1;
  }
  socket_ = job_ended_ = false;
  received_.clear();
  read_error_.clear();
  dead_ = false;
}

bool PosixSerialPort::ReadPiece() {
  if (fd_ < 0) return false;
  char chunk[4096];
  for (;;) {
    const ssize_t count = read(fd_, chunk, sizeof chunk);
    if (count > 0) {
      received_.append(chunk, static_cast<size_t>(count));
      return true;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    if (listener_ >= 0) {
      EndConnection();
      return false;
    }
    // End of file or a failure: the device is gone; reading on would spin.
    read_error_ = ReadFailure(DevicePath(), count == 0 ? kEndOfFile : std::strerror(errno));
    dead_ = true;
    loop_.Unwatch(fd_);
    return false;
  }
}

void PosixSerialPort::Drain() {
  while (ReadPiece()) {
  }
}

void PosixSerialPort::OnReadable() {
  ReadPiece();
  silent_minutes_ = 0;
  if (!received_.empty() || !read_error_.empty()) RaiseReceive();
  if (std::exchange(job_ended_, false) && PortOpen()) RaiseEndOfJob();
}

std::string PosixSerialPort::Input() {
  if (!PortOpen()) return "";
  if (!dead_ && received_.empty()) Drain();
  if (received_.empty() && !read_error_.empty()) {
    throw NumberedError(kErrPortReadFailed, std::exchange(read_error_, ""));
  }
  return std::exchange(received_, "");
}
