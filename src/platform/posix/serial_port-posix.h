#ifndef QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_

#include <cstdint>
#include <string>

#include "platform/posix/event_loop-posix.h"
#include "platform/serial_port_base.h"

// A termios serial port in raw mode, read when the loop finds it readable.
// CommPort N is /dev/ttyS(N-1) unless SetDevicePath names another device (a
// by-id link, a pty slave). The port is held exclusively (TIOCEXCL and an
// flock), so a second opener gets kErrPortBusy. Settings also refuses, with
// error 380, a speed termios lacks (14400, 28800, 56000, 128000, 256000) and
// 1.5 stop bits.
class PosixSerialPort : public SerialPortBase {
 public:
  explicit PosixSerialPort(PosixEventLoop& loop);
  ~PosixSerialPort() override;

  bool PortOpen() const override { return fd_ >= 0; }
  // Also takes what the device holds that no event has reported yet.
  std::string Input() override;
  // Input drains the device itself: only the events end.
  void StopReading() override;

 private:
  std::string DeviceForPort(int16_t port) const override;
  SerialSettings ParseLine(const std::string& text) const override;
  void OpenDevice(const std::string& path) override;
  void ApplyLine(const SerialSettings& line) override;
  void StartReading() override;
  void CloseDevice() override;

  // One read per receive event: the event hands each piece on as it comes,
  // so that a crash before the service has stored it costs that piece only.
  void OnReadable();
  // Reads one piece into received_; false when none waited or the device
  // failed.
  bool ReadPiece();
  // Reads what the device holds into received_.
  void Drain();

  PosixEventLoop& loop_;
  int fd_ = -1;
  std::string received_;
  bool dead_ = false;       // the device failed to be read: no more reads
  std::string read_error_;  // that failure, until Input has raised it
};

#endif  // QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_
