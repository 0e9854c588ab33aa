#include "platform/serial_port_base.h"

#include <utility>

NumberedError PortAbsent(const std::string& path, const std::string& reason) {
  return NumberedError(kErrPortOpenFailed, "Invalid port number: " + path + ": " + reason);
}

NumberedError PortBusy(const std::string& path, const std::string& reason) {
  return NumberedError(kErrPortBusy, "Port cannot be opened: " + path + ": " + reason);
}

std::string ReadFailure(const std::string& path, const std::string& reason) {
  return "Error reading " + path + ": " + reason;
}

void SerialPortBase::SetSettings(const std::string& settings) {
  const SerialSettings line = ParseSerialSettings(settings);
  // Set first: ApplyLine's refusal names the text it was given.
  const std::string previous = std::exchange(settings_, settings);
  if (!PortOpen()) return;
  try {
    ApplyLine(line);
  } catch (...) {
    settings_ = previous;
    throw;
  }
}

void SerialPortBase::SetCommPort(int16_t port) {
  if (PortOpen()) throw NumberedError(kErrPortAlreadyOpen, "Port already open: " + DevicePath());
  port_ = port;
}

void SerialPortBase::SetPortOpen(bool open) {
  if (open == PortOpen()) return;
  if (open) {
    Open();
  } else {
    CloseDevice();
  }
}

std::string SerialPortBase::DevicePath() const {
  if (!device_path_.empty()) return device_path_;
  return DeviceForPort(port_);
}

NumberedError SerialPortBase::LineRefused(const std::string& reason) const {
  return NumberedError(kErrInvalidPropertyValue, "Invalid property value: " + DevicePath() +
                                                     " refuses \"" + settings_ + "\": " + reason);
}

void SerialPortBase::RaiseReceive() {
  event_ = kEvReceive;
  if (on_comm_) on_comm_();
}

void SerialPortBase::RaiseEndOfJob() {
  event_ = kEvEOF;
  if (on_comm_) on_comm_();
}

void SerialPortBase::Open() {
  const SerialSettings line = ParseSerialSettings(settings_);
  OpenDevice(DevicePath());
  try {
    ApplyLine(line);
  } catch (...) {
    CloseDevice();
    throw;
  }
  StartReading();
}
