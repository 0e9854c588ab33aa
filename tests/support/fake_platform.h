#ifndef QUELLOR_TESTS_SUPPORT_FAKE_PLATFORM_H_
#define QUELLOR_TESTS_SUPPORT_FAKE_PLATFORM_H_

// Deterministic stand-ins for the platform objects, so that frmMain can be
// driven event by event without real time, ports, windows or services.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/event_loop.h"
#include "platform/serial_port.h"
#include "platform/service_control.h"
#include "platform/timer_queue.h"
#include "util/numbered_error.h"

// A wall clock that shows whatever the test sets.
class FakeClock : public Clock {
 public:
  explicit FakeClock(LocalTime now = {2005, 1, 24, 19, 50, 34}) : now_(now) {}
  LocalTime Now() const override { return now_; }
  void Set(const LocalTime& now) { now_ = now; }

 private:
  LocalTime now_;
};

// An event loop whose timers run on a manual monotonic clock.
class FakeEventLoop : public EventLoop {
 public:
  FakeEventLoop();

  std::unique_ptr<Timer> CreateTimer(std::function<void()> on_fire) override;
  // Returns at once: tests drive the loop with AdvanceMs.
  void Run() override {}
  void Quit() override { quit_called_ = true; }

  // Moves the clock forward by ms, stopping at each due time in turn to fire
  // the timers due then, in order. After Quit nothing fires any more.
  void AdvanceMs(int64_t ms);

  int64_t NowMs() const { return now_ms_; }
  // Milliseconds until the next timer fires, -1 if none can.
  int64_t NextTimeoutMs() const { return queue_.NextTimeoutMs(); }
  bool quit_called() const { return quit_called_; }

 private:
  int64_t now_ms_ = 0;
  bool quit_called_ = false;
  TimerQueue queue_;
};

// A serial port whose line is the test. Port events and state changes are
// recorded in history() ("settings 9600,n,8,1", "port 2", "open", "close",
// "open failed").
class FakeSerialPort : public SerialPort {
 public:
  void SetSettings(const std::string& settings) override;
  std::string Settings() const override { return settings_; }
  void SetInputMode(int mode) override { input_mode_ = mode; }
  void SetCommPort(int16_t port) override;
  int16_t CommPort() const override { return port_; }
  void SetDevicePath(const std::string& path) override { device_path_ = path; }
  void SetNetworkOptions(const NetworkOptions& options) override { network_options_ = options; }
  // The path given, else "COM" and the port number.
  std::string DevicePath() const override;
  void SetPortOpen(bool open) override;
  bool PortOpen() const override { return open_; }
  std::string Input() override;
  void StopReading() override { reading_stopped_ = open_; }
  int16_t CommEvent() const override { return event_; }
  void SetOnComm(std::function<void()> handler) override { on_comm_ = std::move(handler); }

  // Characters arrive and a receive event (code 2) is raised.
  void Receive(const std::string& text);
  // Characters arrive below the receive threshold: no event.
  void Queue(const std::string& text) { waiting_ += text; }
  // Characters a read under way holds: Input takes them only after
  // StopReading.
  void Hold(const std::string& text) { held_ += text; }
  // Raises OnComm with the given event code.
  void RaiseEvent(int16_t code);

  // Makes the next opens, settings writes or Input reads fail (nullopt
  // cures it).
  void FailOpen(std::optional<NumberedError> error) { open_error_ = std::move(error); }
  void FailSettings(std::optional<NumberedError> error) { settings_error_ = std::move(error); }
  void FailInput(std::optional<NumberedError> error) { input_error_ = std::move(error); }

  const std::vector<std::string>& history() const { return history_; }
  const std::string& waiting() const { return waiting_; }
  int input_mode() const { return input_mode_; }
  const std::string& device_path() const { return device_path_; }
  const NetworkOptions& network_options() const { return network_options_; }
  int input_calls() const { return input_calls_; }

 private:
  std::string settings_ = "9600,n,8,1";
  int input_mode_ = 1;
  int16_t port_ = 1;
  std::string device_path_;
  NetworkOptions network_options_;
  bool open_ = false;
  int16_t event_ = 0;
  std::string waiting_;
  std::string held_;
  bool reading_stopped_ = false;
  int input_calls_ = 0;
  std::function<void()> on_comm_;
  std::optional<NumberedError> open_error_;
  std::optional<NumberedError> settings_error_;
  std::optional<NumberedError> input_error_;
  std::vector<std::string> history_;
};

// The window's display and message boxes, recorded.
class FakeDisplay : public Display {
 public:
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Visible() const override { return visible_; }
  void ShowReceived(const std::string& text) override { received_ = text; }
  void ShowBytesReceived(const std::string& text) override { bytes_.push_back(text); }
  void SetStatusPanel(int panel, const std::string& text) override { panels_[panel] = text; }
  void ShowMessage(const std::string& text) override { messages_.push_back(text); }
  void SetOnClose(std::function<void()> handler) override { on_close_ = std::move(handler); }

  // A person closes the window.
  void Close();

  const std::string& received() const { return received_; }
  // The latest count shown; "" before the first.
  std::string bytes_received() const { return bytes_.empty() ? "" : bytes_.back(); }
  // Every count shown, in order.
  const std::vector<std::string>& bytes_history() const { return bytes_; }
  // "" for a panel never set.
  std::string panel(int number) const;
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  bool visible_ = false;
  std::string received_;
  std::vector<std::string> bytes_;
  std::map<int, std::string> panels_;
  std::vector<std::string> messages_;
  std::function<void()> on_close_;
};

// The service control component: records every call in calls() ("Install",
// "SaveServiceSetting Parameters TimerInterval 10000", "RunService", ...).
class FakeServiceControl : public ServiceControl {
 public:
  void SetInteractive(bool interactive) override;
  bool Interactive() const override { return interactive_; }
  bool InstallService() override;
  bool UninstallService() override;
  void SaveServiceSetting(const std::string& section, const std::string& key,
                          const std::string& value) override;
  void SetInstance(const std::string& instance) override { instance_ = instance; }
  std::string ServiceTitle() const override { return DisplayNameFor(instance_); }
  void SetDebugMode(bool debug) override;
  void SetAcceptedControls(int32_t controls) override;
  bool RunService() override;
  void SetEvents(ServiceEvents* events) override { events_ = events; }
  // Recorded as "StartFailure <number> <description>"; returns 1.
  int ReportStartFailure(int number, const std::string& description) override;
  // Recorded as "Status <text>".
  void SetStatusText(const std::string& text) override;

  void set_install_result(bool result) { install_result_ = result; }
  void set_uninstall_result(bool result) { uninstall_result_ = result; }

  // Deliver a request to the sink; the Success answer is returned.
  bool RaiseStart();
  bool RaisePause();
  bool RaiseContinue();
  void RaiseStop();
  void RaiseControl(int32_t code);

  const std::vector<std::string>& calls() const { return calls_; }
  bool debug_mode() const { return debug_mode_; }
  int32_t accepted_controls() const { return accepted_controls_; }
  ServiceEvents* events() const { return events_; }

 private:
  bool RaiseAnswered(void (ServiceEvents::*event)(bool&));

  bool interactive_ = false;
  bool debug_mode_ = false;
  int32_t accepted_controls_ = 0;
  bool install_result_ = true;
  bool uninstall_result_ = true;
  ServiceEvents* events_ = nullptr;
  std::string instance_;
  std::vector<std::string> calls_;
};

#endif  // QUELLOR_TESTS_SUPPORT_FAKE_PLATFORM_H_
