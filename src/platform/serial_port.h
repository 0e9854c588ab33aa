#ifndef QUELLOR_PLATFORM_SERIAL_PORT_H_
#define QUELLOR_PLATFORM_SERIAL_PORT_H_

#include <cstdint>
#include <functional>
#include <string>

// The serial port component (`comPort`). Errors are NumberedError: 380 for a
// settings text it refuses, kErrPortOpenFailed for a port that does not exist,
// kErrPortBusy for one in use, kErrPortAlreadyOpen for changing the port
// number of an open port.
class SerialPort {
 public:
  // CommEvent code: received characters are waiting.
  static constexpr int16_t kEvReceive = 2;
  // CommEvent code: the input's sender ended its job (a network printer's
  // connection closed): what Input gives now is the job's last text.
  static constexpr int16_t kEvEOF = 7;

  // How a network device (see ParseNetworkDevice) takes its peers.
  struct NetworkOptions {
    std::string allow_from;     // the addresses that may print (PeerFilter)
    int32_t idle_minutes = 10;  // a silent connection is closed after this
  };

  virtual ~SerialPort() = default;

  // "speed,parity,data bits,stop bits", for example "19200,n,8,1". Applies at
  // once to an open port.
  virtual void SetSettings(const std::string& settings) = 0;
  virtual std::string Settings() const = 0;

  // 0 = text: Input yields one character per received byte.
  virtual void SetInputMode(int mode) = 0;

  // The port number, 1 = the first port. Never changed while open.
  virtual void SetCommPort(int16_t port) = 0;
  virtual int16_t CommPort() const = 0;

  // A device path that replaces the one CommPort names (a by-id link, a pty);
  // empty returns to CommPort's device. Takes effect at the next open.
  virtual void SetDevicePath(const std::string& path) = 0;

  // Applies at the next open; a serial device ignores them.
  virtual void SetNetworkOptions(const NetworkOptions& options) = 0;

  // Opens with the current port and settings, or closes.
  virtual void SetPortOpen(bool open) = 0;
  virtual bool PortOpen() const = 0;

  // The device the next open uses (the path SetDevicePath gave, else the
  // one CommPort names), as log lines name the port.
  virtual std::string DevicePath() const = 0;

  // Every character waiting in the receive buffer, which is left empty; ""
  // when nothing waits or the port is closed. Raises kErrPortReadFailed,
  // once, after the characters received before it, when the device is lost
  // (gone, hung up, failing): its description names the device and the
  // reason, and the port reads nothing more until closed and opened again.
  virtual std::string Input() = 0;

  // Ends reading before a last Input (a stop): OnComm is raised no more, and
  // Input then also takes every byte the device still holds, those of a read
  // under way included, so nothing received is left behind. The port stays
  // open until closed; reopening reads again. Does nothing when closed.
  virtual void StopReading() = 0;

  // The code of the event being reported: kEvReceive, kEvEOF, or above 1000
  // for a communication error.
  virtual int16_t CommEvent() const = 0;

  // Raised on the loop thread, one event at a time, while characters wait.
  virtual void SetOnComm(std::function<void()> handler) = 0;
};

#endif  // QUELLOR_PLATFORM_SERIAL_PORT_H_
