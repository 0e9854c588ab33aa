#ifndef QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/serial_port.h"
#include "platform/win32/event_loop-win32.h"

// A serial port through the comm API. CommPort N is \\.\COMN unless
// SetDevicePath names another device. A reader thread gathers the input with
// synchronous ReadFile calls that return as soon as a byte is there or after
// kReadWaitMs of silence (neither WaitCommEvent nor overlapped reads, which
// misbehave under Wine), and the loop thread raises OnComm. Every member is
// for the loop thread.
class Win32SerialPort : public SerialPort {
 public:
  // The longest a read waits for a first byte: also how long closing the
  // port may wait for the reader to notice.
  static constexpr DWORD kReadWaitMs = 200;

  explicit Win32SerialPort(Win32EventLoop& loop);
  ~Win32SerialPort() override;
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  // Refuses with error 380 a text ParseSerialSettings refuses, whether the
  // port is open or not; an open port that refuses the line parameters
  // keeps the previous ones and raises 380 too.
  void SetSettings(const std::string& settings) override;
  std::string Settings() const override { return settings_; }
  void SetInputMode(int mode) override { input_mode_ = mode; }
  void SetCommPort(int16_t port) override;
  int16_t CommPort() const override { return port_; }
  void SetDevicePath(const std::string& path) override { device_path_ = path; }
  // Opening an absent port raises kErrPortOpenFailed, one in use
  // kErrPortBusy. Closing stops and joins the reader.
  void SetPortOpen(bool open) override;
  bool PortOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
  std::string Input() override;
  int16_t CommEvent() const override { return event_; }
  void SetOnComm(std::function<void()> handler) override { on_comm_ = std::move(handler); }

  // The device the next open uses.
  std::string DevicePath() const;

 private:
  // What the reader thread shares with the loop thread.
  struct Received {
    std::mutex mutex;
    std::string bytes;           // read, not yet taken by Input
    std::string error;           // a failed read, not yet raised by Input
    bool notify_posted = false;  // an OnComm task is queued on the loop
  };

  void Open();
  void Close();
  // Applies settings_ to the open port; error 380 when it refuses them.
  void ApplySettings();
  // The reader thread: reads handle (the device at path) until stopped.
  void ReadLoop(HANDLE handle, const std::string& path);
  // Queues the loop-thread step that raises OnComm, unless one is queued.
  void NotifyLoop();
  void RaiseOnComm();

  Win32EventLoop& loop_;
  std::string settings_ = "9600,n,8,1";
  int input_mode_ = 0;
  int16_t port_ = 1;
  std::string device_path_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  int16_t event_ = 0;
  std::function<void()> on_comm_;

  std::shared_ptr<Received> received_ = std::make_shared<Received>();
  std::atomic<bool> stop_reading_{false};
  std::thread reader_;
};

#endif  // QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_
