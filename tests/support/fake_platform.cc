#include "support/fake_platform.h"

#include <stdexcept>
#include <utility>

FakeEventLoop::FakeEventLoop() : queue_([this] { return now_ms_; }) {}

std::unique_ptr<Timer> FakeEventLoop::CreateTimer(std::function<void()> on_fire) {
  return queue_.CreateTimer([this, on_fire = std::move(on_fire)] {
    if (!quit_called_) on_fire();
  });
}

void FakeEventLoop::AdvanceMs(int64_t ms) {
  const int64_t end = now_ms_ + ms;
  while (!quit_called_) {
    const int64_t wait = queue_.NextTimeoutMs();
    if (wait < 0 || now_ms_ + wait > end) break;
    now_ms_ += wait;
    queue_.RunDue();
  }
  now_ms_ = end;
}

void FakeSerialPort::SetSettings(const std::string& settings) {
  if (settings_error_) throw *settings_error_;
  settings_ = settings;
  history_.push_back("settings " + settings);
}

void FakeSerialPort::SetCommPort(int16_t port) {
  if (open_) throw NumberedError(kErrPortAlreadyOpen, "Port already open");
  port_ = port;
  history_.push_back("port " + std::to_string(port));
}

std::string FakeSerialPort::DevicePath() const {
  return device_path_.empty() ? "COM" + std::to_string(port_) : device_path_;
}

void FakeSerialPort::SetPortOpen(bool open) {
  if (open == open_) return;
  if (open && open_error_) {
    history_.push_back("open failed");
    throw *open_error_;
  }
  open_ = open;
  reading_stopped_ = false;
  history_.push_back(open ? "open" : "close");
}

std::string FakeSerialPort::Input() {
  ++input_calls_;
  if (input_error_) throw *input_error_;
  if (!open_) return "";
  std::string text;
  text.swap(waiting_);
  if (reading_stopped_) text += std::exchange(held_, "");
  return text;
}

void FakeSerialPort::Receive(const std::string& text) {
  waiting_ += text;
  RaiseEvent(kEvReceive);
}

void FakeSerialPort::RaiseEvent(int16_t code) {
  event_ = code;
  if (on_comm_) on_comm_();
}

void FakeDisplay::Close() {
  if (on_close_) on_close_();
}

std::string FakeDisplay::panel(int number) const {
  auto it = panels_.find(number);
  return it == panels_.end() ? "" : it->second;
}

void FakeServiceControl::SetInteractive(bool interactive) {
  interactive_ = interactive;
  calls_.push_back(interactive ? "Interactive true" : "Interactive false");
}

bool FakeServiceControl::InstallService() {
  calls_.push_back("InstallService");
  return install_result_;
}

bool FakeServiceControl::UninstallService() {
  calls_.push_back("UninstallService");
  return uninstall_result_;
}

void FakeServiceControl::SaveServiceSetting(const std::string& section, const std::string& key,
                                            const std::string& value) {
  calls_.push_back("SaveServiceSetting " + section + " " + key + " " + value);
}

void FakeServiceControl::SetDebugMode(bool debug) {
  debug_mode_ = debug;
  calls_.push_back(debug ? "DebugMode true" : "DebugMode false");
}

void FakeServiceControl::SetAcceptedControls(int32_t controls) {
  accepted_controls_ = controls;
  calls_.push_back("AcceptedControls " + std::to_string(controls));
}

bool FakeServiceControl::RunService() {
  calls_.push_back("RunService");
  return true;
}

int FakeServiceControl::ReportStartFailure(int number, const std::string& description) {
  calls_.push_back("StartFailure " + std::to_string(number) + " " + description);
  return 1;
}

void FakeServiceControl::SetStatusText(const std::string& text) {
  calls_.push_back("Status " + text);
}

bool FakeServiceControl::RaiseStart() { return RaiseAnswered(&ServiceEvents::NTService1_Start); }

bool FakeServiceControl::RaisePause() { return RaiseAnswered(&ServiceEvents::NTService1_Pause); }

bool FakeServiceControl::RaiseContinue() {
  return RaiseAnswered(&ServiceEvents::NTService1_Continue);
}

bool FakeServiceControl::RaiseAnswered(void (ServiceEvents::*event)(bool&)) {
  bool success = false;
  if (events_) (events_->*event)(success);
  return success;
}

void FakeServiceControl::RaiseStop() {
  if (events_) events_->NTService1_Stop();
}

void FakeServiceControl::RaiseControl(int32_t code) {
  if (events_) events_->NTService1_Control(code);
}
