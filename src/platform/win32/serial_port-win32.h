#ifndef QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/serial_port_base.h"
#include "platform/win32/event_loop-win32.h"

// A serial port through the comm API. CommPort N is \\.\COMN unless
// SetDevicePath names another device. A reader thread gathers the input with
// synchronous ReadFile calls that wait at most kReadWaitMs (neither
// WaitCommEvent nor overlapped reads, which misbehave under Wine), and the
// loop thread raises OnComm. Under Wine such a read returns only when its
// wait is over, holding what came meanwhile: StopReading therefore ends the
// reader before the last Input reads what is left at once.
//
// A device that went away (a failed read, or a comm state that can no longer
// be read after a silent read: a pty hung up, an adapter unplugged) ends the
// reader, and Input raises kErrPortReadFailed once. Every member is for the
// loop thread.
class Win32SerialPort : public SerialPortBase {
 public:
  // The longest a read waits for a first byte: also how long closing the
  // port may wait for the reader to notice.
  static constexpr DWORD kReadWaitMs = 200;

  explicit Win32SerialPort(Win32EventLoop& loop);
  ~Win32SerialPort() override;

  bool PortOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
  std::string Input() override;
  void StopReading() override;

 private:
  // What the reader thread shares with the loop thread.
  struct Received {
    std::mutex mutex;
    std::string bytes;           // read, not yet taken by Input
    std::string error;           // a failed read, not yet raised by Input
    bool notify_posted = false;  // an OnComm task is queued on the loop
  };

  std::string DeviceForPort(int16_t port) const override;
  void OpenDevice(const std::string& path) override;
  void ApplyLine(const SerialSettings& line) override;
  // Starts the reader thread.
  void StartReading() override;
  // Also stops and joins the reader.
  void CloseDevice() override;

  // The reader thread: reads handle (the device at path) until stopped or
  // the device is gone.
  void ReadLoop(HANDLE handle, const std::string& path);
  // Ends the reader thread; what it read stays for Input.
  void JoinReader();
  // Takes at once what the device holds (the reader has ended).
  void ReadRemaining();
  // Queues the loop-thread step that raises OnComm, unless one is queued.
  void NotifyLoop();
  void RaiseOnComm();

  Win32EventLoop& loop_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;

  std::shared_ptr<Received> received_ = std::make_shared<Received>();
  std::atomic<bool> stop_reading_{false};
  std::thread reader_;
  bool reading_stopped_ = false;  // StopReading ran: Input reads the rest
};

#endif  // QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_
