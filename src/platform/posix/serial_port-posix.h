#ifndef QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/network_device.h"
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
//
// A network device path (ParseNetworkDevice) opens a socket instead, read
// the same way and with no line settings. "tcp:" connects to a device
// server: its connection's end is the device's loss. "tcp-listen:" listens
// and takes one connection at a time (others wait in the listen queue); a
// peer the AllowFrom filter refuses is closed at once and logged at most once
// a minute; a connection's end raises kEvEOF after its last bytes, and one
// silent for the options' idle minutes is closed, logged, and ends alike.
class PosixSerialPort : public SerialPortBase {
 public:
  // Log lines (1.5 stop bits taken as 2) go to log.
  PosixSerialPort(PosixEventLoop& loop, LogSink log = nullptr);
  ~PosixSerialPort() override;

  bool PortOpen() const override { return fd_ >= 0 || listener_ >= 0; }
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

  // One read per receive event: the event hands each piece on as it comes,
  // so that a crash before the service has stored it costs that piece only.
  void OnReadable();
  // Reads one piece into received_; false when none waited or the device
  // failed. A listener's connection that ends is closed instead
  // (job_ended_).
  bool ReadPiece();
  // Reads what the device holds into received_.
  void Drain();

  // Network input (serial_port_network-posix.cc).
  // Opens the socket path names; false when path is no network device.
  bool OpenNetwork(const std::string& path);
  void OnConnectionWaiting();
  // Closes a listener's connection, which ends its job, and listens again.
  void EndConnection();
  // Every minute: closes a connection silent for the idle minutes.
  void CheckIdle();
  void Log(const std::string& line) const {
    if (log_) log_(line);
  }

  PosixEventLoop& loop_;
  LogSink log_;
  bool told_two_stop_bits_ = false;
  int fd_ = -1;
  bool socket_ = false;  // fd_ is a network connection: no line settings
  int listener_ = -1;
  std::string peer_;  // the listener's connected peer
  bool job_ended_ = false;
  int silent_minutes_ = 0;
  std::unique_ptr<Timer> idle_timer_;
  RefusalLog refusals_;
  std::string received_;
  bool dead_ = false;       // the device failed to be read: no more reads
  std::string read_error_;  // that failure, until Input has raised it
};

#endif  // QUELLOR_PLATFORM_POSIX_SERIAL_PORT_POSIX_H_
