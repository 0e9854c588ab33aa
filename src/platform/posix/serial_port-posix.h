#ifndef QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_

#include <cstdint>
#include <string>

#include "platform/posix/event_loop-posix.h"
#include "platform/serial_port_base.h"
#include "platform/service_control.h"

// A termios serial port in raw mode, read when the loop finds it readable.
// CommPort N is /dev/ttyS(N-1) unless SetDevicePath names another device (a
// by-id link, a pty slave). The port is held exclusively (TIOCEXCL and an
// flock), so a second opener gets kErrPortBusy. Every speed and stop bit
// count Windows takes is taken, so that a settings file copied from Windows
// runs: a speed termios names no constant for is set through termios2, and
// 1.5 stop bits, which termios lacks, become 2 (the port only receives),
// said once to the log.
class PosixSerialPort : public SerialPortBase {
 public:
  // Log lines (1.5 stop bits taken as 2) go to log.
  PosixSerialPort(PosixEventLoop& loop, LogSink log = nullptr);
  ~PosixSerialPort() override;

  bool PortOpen() const override { return fd_ >= 0; }
  // Also takes what the device holds that no event has reported yet.
  std::string Input() override;
  // Input drains the device itself: only the events end.
  void StopReading() override;

 private:
  std::string DeviceForPort(int16_t port) const override;
  void OpenDevice(const std::string& path) override;
  void ApplyLine(const SerialSettings& line) override;
  void StartReading() override;
  void CloseDevice() override;

  void OnReadable();
  // Reads what the device holds into received_; false once it fails.
  bool Drain();

  PosixEventLoop& loop_;
  LogSink log_;
  bool told_two_stop_bits_ = false;
  int fd_ = -1;
  std::string received_;
  bool dead_ = false;       // the device failed to be read: no more reads
  std::string read_error_;  // that failure, until Input has raised it
};

#endif  // QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_
