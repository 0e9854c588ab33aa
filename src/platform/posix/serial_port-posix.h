#ifndef QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_

#include <termios.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/posix/event_loop-posix.h"
#include "platform/serial_port.h"

// A termios serial port in raw mode, read when the loop finds it readable.
// CommPort N is /dev/ttyS(N-1) unless SetDevicePath names another device (a
// by-id link, a pty slave). The port is held exclusively (TIOCEXCL and an
// flock), so a second opener gets kErrPortBusy.
class PosixSerialPort : public SerialPort {
 public:
  explicit PosixSerialPort(PosixEventLoop& loop);
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  // Refuses with error 380, whether the port is open or not, any text that
  // ParseSerialSettings refuses, a speed termios lacks (14400, 28800, 56000,
  // 128000, 256000) and 1.5 stop bits.
  void SetSettings(const std::string& settings) override;
  std::string Settings() const override { return settings_; }
  void SetInputMode(int mode) override { input_mode_ = mode; }
  void SetCommPort(int16_t port) override;
  int16_t CommPort() const override { return port_; }
  void SetDevicePath(const std::string& path) override { device_path_ = path; }
  void SetPortOpen(bool open) override;
  bool PortOpen() const override { return fd_ >= 0; }
  // Also takes what the device holds that no event has reported yet.
  std::string Input() override;
  int16_t CommEvent() const override { return event_; }
  void SetOnComm(std::function<void()> handler) override { on_comm_ = std::move(handler); }

  // The device the next open uses.
  std::string DevicePath() const;

 private:
  void Open();
  void Close();
  void ApplySettings(const termios& base);
  void OnReadable();
  // Reads what the device holds into received_; false once it fails.
  bool Drain();

  PosixEventLoop& loop_;
  std::string settings_ = "9600,n,8,1";
  int input_mode_ = 0;
  int16_t port_ = 1;
  std::string device_path_;
  int fd_ = -1;
  int16_t event_ = 0;
  std::string received_;
  bool dead_ = false;       // the device failed to be read: no more reads
  std::string read_error_;  // that failure, until Input has raised it
  std::function<void()> on_comm_;
};

#endif  // QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_
