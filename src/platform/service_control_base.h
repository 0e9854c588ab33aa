#ifndef QUELLOR_PLATFORM_SERVICE_CONTROL_BASE_H_
#define QUELLOR_PLATFORM_SERVICE_CONTROL_BASE_H_

#include <cstdint>
#include <string>
#include <utility>

#include "platform/service_control.h"

// The flags, the event sink and the log sink that every platform's service
// host keeps alike; a host supplies installation, the setting store and
// RunService.
class ServiceControlBase : public ServiceControl {
 public:
  void SetInteractive(bool interactive) final { interactive_ = interactive; }
  bool Interactive() const final { return interactive_; }
  void SetInstance(const std::string& instance) final { instance_ = instance; }
  std::string ServiceTitle() const final { return DisplayNameFor(instance_); }
  void SetDebugMode(bool debug) final { debug_mode_ = debug; }
  void SetAcceptedControls(int32_t controls) final { accepted_controls_ = controls; }
  void SetEvents(ServiceEvents* events) final { events_ = events; }

 protected:
  explicit ServiceControlBase(LogSink log) : log_(std::move(log)) {}

  // Writes a line to the sink given at construction, if any.
  void Log(const std::string& line) const {
    if (log_) log_(line);
  }

  // Where the events go; null until frmMain is there.
  ServiceEvents* events() const { return events_; }
  bool debug_mode() const { return debug_mode_; }
  const std::string& instance() const { return instance_; }
  int32_t accepted_controls() const { return accepted_controls_; }

 private:
  ServiceEvents* events_ = nullptr;
  LogSink log_;
  std::string instance_;
  // Only -install sets it: a normal start, from a terminal too, logs its
  // errors and takes the service's own retry paths.
  bool interactive_ = false;
  bool debug_mode_ = false;
  int32_t accepted_controls_ = 0;
};

#endif  // QUELLOR_PLATFORM_SERVICE_CONTROL_BASE_H_
