#ifndef QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/network_device.h"
#include "platform/serial_port_base.h"
#include "platform/service_control.h"
#include "platform/win32/event_loop-win32.h"
#include "platform/win32/socket-win32.h"

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
// loop thread unless said otherwise.
//
// A network device path (ParseNetworkDevice) opens a Winsock socket
// instead, read by the same reader with WSAPoll waits of kReadWaitMs, with
// no line settings. "tcp:" connects to a device server: its connection's
// end is the device's loss. "tcp-listen:" listens and takes one connection
// at a time (others wait in the listen queue, and the next is taken once the
// loop has raised the last one's end); a peer the AllowFrom filter refuses
// is closed at once and logged at most once a minute; a connection's end
// raises kEvEOF after its last bytes, and one silent for the options' idle
// minutes is closed, logged, and ends alike.
class Win32SerialPort : public SerialPortBase {
 public:
  // The longest a read waits for a first byte: also how long closing the
  // port may wait for the reader to notice.
  static constexpr DWORD kReadWaitMs = 200;

  // Log lines (peers refused, idle connections closed) go to log.
  explicit Win32SerialPort(Win32EventLoop& loop, LogSink log = nullptr);
  ~Win32SerialPort() override;

  bool PortOpen() const override { return handle_ != INVALID_HANDLE_VALUE || socket_ != kNoSocket; }
  std::string Input() override;
  void StopReading() override;

 private:
  // What the reader thread shares with the loop thread.
  struct Received {
    std::mutex mutex;
    std::string bytes;               // read, not yet taken by Input
    std::string error;               // a failed read, not yet raised by Input
    bool job_ended = false;          // a connection's end, not yet raised
    std::vector<std::string> lines;  // for the log, not yet written
    bool notify_posted = false;      // an OnComm task is queued on the loop
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
  // Hands the loss of the device at path, for reason, to the next Input.
  void Lose(const std::string& path, const std::string& reason);
  // Queues the loop-thread step that raises OnComm, unless one is queued.
  void NotifyLoop();
  void RaiseOnComm();

  // Network input (serial_port_network-win32.cc).
  // Opens the socket path names; false when path is no network device.
  bool OpenNetwork(const std::string& path);
  // Reads the device server's connection until stopped or lost.
  void ReadDeviceServer(const std::string& path);
  // Listens, reading one connection at a time, until stopped.
  void ReadListener(const std::string& path, const NetworkOptions& options);
  // Appends what line holds to the received bytes and tells the loop:
  // ReceiveTcp's count and reason.
  int Receive(Socket line, std::string* reason);
  // Takes a waiting connection that the filter allows as connection_.
  void Accept(const std::string& path, const PeerFilter& filter, std::string* peer);
  // Closes connection_: its job's end goes to the loop.
  void EndConnection();
  // True while the loop has not yet raised the last connection's end.
  bool JobEndPending();
  // Hands line to the loop for the log.
  void Say(const std::string& line);
  void CloseNetwork();

  Win32EventLoop& loop_;
  LogSink log_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  Socket socket_ = kNoSocket;  // a device server's connection, or a listener
  bool listening_ = false;
  // The listener's connected peer: the reader's until it is joined.
  Socket connection_ = kNoSocket;
  RefusalLog refusals_;  // the reader's

  std::shared_ptr<Received> received_ = std::make_shared<Received>();
  std::atomic<bool> stop_reading_{false};
  std::thread reader_;
  bool reading_stopped_ = false;  // StopReading ran: Input reads the rest
};

#endif  // QUELLOR_PLATFORM_WIN32_SERIAL_PORT_WIN32_H_
