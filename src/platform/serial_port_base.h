#ifndef QUELLOR_PLATFORM_SERIAL_PORT_BASE_H_
#define QUELLOR_PLATFORM_SERIAL_PORT_BASE_H_

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "platform/serial_port.h"
#include "platform/serial_settings.h"
#include "util/numbered_error.h"

// The open errors of every device, naming its path and why: kErrPortOpenFailed
// for a device that is absent (no such device or host, refused, unreachable),
// kErrPortBusy for one in use.
NumberedError PortAbsent(const std::string& path, const std::string& reason);
NumberedError PortBusy(const std::string& path, const std::string& reason);

// The description of kErrPortReadFailed for the device at path, lost for
// reason (kEndOfFile for a device whose input ended).
std::string ReadFailure(const std::string& path, const std::string& reason);
inline constexpr char kEndOfFile[] = "end of file";

// What every real serial port does alike: keeps the settings, port number
// and device path, checks them, and opens, re-applies and closes through the
// device hooks below, so that a platform's port only does the device work.
// A derived class's destructor must close the device: the hooks are gone by
// the time this class is destroyed.
class SerialPortBase : public SerialPort {
 public:
  SerialPortBase(const SerialPortBase&) = delete;
  SerialPortBase& operator=(const SerialPortBase&) = delete;

  // Refuses with error 380, whether the port is open or not, a text
  // ParseSerialSettings refuses; an open port whose device refuses the line keeps the
  // previous settings and raises ApplyLine's error.
  void SetSettings(const std::string& settings) final;
  std::string Settings() const final { return settings_; }
  // Text is the devices' only mode (Input gives one character per byte):
  // there is nothing to keep.
  void SetInputMode(int /*mode*/) final {}
  // Raises kErrPortAlreadyOpen while the port is open.
  void SetCommPort(int16_t port) final;
  int16_t CommPort() const final { return port_; }
  void SetDevicePath(const std::string& path) final { device_path_ = path; }
  void SetNetworkOptions(const NetworkOptions& options) final { network_options_ = options; }
  // Opening raises OpenDevice's or ApplyLine's error and leaves the port
  // closed; asking for the state the port is in does nothing.
  void SetPortOpen(bool open) final;
  int16_t CommEvent() const final { return event_; }
  void SetOnComm(std::function<void()> handler) final { on_comm_ = std::move(handler); }

  // The path SetDevicePath gave, else the one DeviceForPort names for
  // CommPort.
  std::string DevicePath() const final;

 protected:
  SerialPortBase() = default;

  // The device port number port names.
  virtual std::string DeviceForPort(int16_t port) const = 0;

  // Opens and holds the device at path, not yet reading. Raises
  // kErrPortOpenFailed for a device that is absent or no serial port,
  // kErrPortBusy for one in use; nothing is held then.
  virtual void OpenDevice(const std::string& path) = 0;

  // Sets the open device's line to line, raw, without flow control. Raises
  // LineRefused when the device refuses it.
  virtual void ApplyLine(const SerialSettings& line) = 0;

  // Starts gathering what the open, configured device receives.
  virtual void StartReading() = 0;

  // Stops reading, releases the device and drops what was received and not
  // yet taken. Does nothing when the port is closed.
  virtual void CloseDevice() = 0;

  // Error 380 for a device that refuses the current settings; reason says why.
  NumberedError LineRefused(const std::string& reason) const;

  // Reports that received characters wait: CommEvent becomes kEvReceive and
  // OnComm is raised.
  void RaiseReceive();
  // Reports that a network sender ended its job: CommEvent becomes kEvEOF
  // and OnComm is raised.
  void RaiseEndOfJob();

  const NetworkOptions& network_options() const { return network_options_; }

 private:
  void Open();

  std::string settings_ = "9600,n,8,1";
  int16_t port_ = 1;
  std::string device_path_;
  int16_t event_ = 0;
  NetworkOptions network_options_;
  std::function<void()> on_comm_;
};

#endif  // QUELLOR_PLATFORM_SERIAL_PORT_BASE_H_
