#include "platform/win32/serial_port-win32.h"

#include <utility>

#include "platform/win32/error_text-win32.h"
#include "util/numbered_error.h"

namespace {

NumberedError OpenError(DWORD error, const std::string& path) {
  const std::string reason = SystemErrorText(error);
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
      error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME) {
    return PortAbsent(path, reason);
  }
  return PortBusy(path, reason);
}

// Why the device behind handle is gone, or "" while it is there. A read
// that returns nothing cannot tell a hung-up line from a silent one; the
// comm state can: it can no longer be read (Wine: ERROR_NOT_READY once the
// far side of a pty has closed; Windows: an unplugged adapter's errors).
std::string GoneReason(HANDLE handle) {
  DWORD errors = 0;
  COMSTAT status = {};
  if (ClearCommError(handle, &errors, &status)) return "";
  return SystemErrorText(GetLastError());
}

BYTE ParityCode(char parity) {
  switch (parity) {
    case 'e':
      return EVENPARITY;
    case 'o':
      return ODDPARITY;
    case 'm':
      return MARKPARITY;
    case 's':
      return SPACEPARITY;
    default:
      return NOPARITY;
  }
}

BYTE StopBitsCode(SerialSettings::StopBits stop_bits) {
  switch (stop_bits) {
    case SerialSettings::StopBits::kOneAndHalf:
      return ONE5STOPBITS;
    case SerialSettings::StopBits::kTwo:
      return TWOSTOPBITS;
    default:
      return ONESTOPBIT;
  }
}

// Raw binary line without flow control, the modem lines raised.
void SetLine(const SerialSettings& line, DCB* dcb) {
  dcb->BaudRate = line.speed;
  dcb->ByteSize = static_cast<BYTE>(line.data_bits);
  dcb->Parity = ParityCode(line.parity);
  dcb->StopBits = StopBitsCode(line.stop_bits);
  dcb->fBinary = TRUE;
  dcb->fParity = line.parity != 'n';
  dcb->fOutxCtsFlow = FALSE;
  dcb->fOutxDsrFlow = FALSE;
  dcb->fDtrControl = DTR_CONTROL_ENABLE;
  dcb->fDsrSensitivity = FALSE;
  dcb->fOutX = FALSE;
  dcb->fInX = FALSE;
  dcb->fErrorChar = FALSE;
  dcb->fNull = FALSE;  // NUL bytes are data
  dcb->fRtsControl = RTS_CONTROL_ENABLE;
  dcb->fAbortOnError = FALSE;
}

}  // namespace

Win32SerialPort::Win32SerialPort(Win32EventLoop& loop, LogSink log)
    : loop_(loop), log_(std::move(log)) {}

Win32SerialPort::~Win32SerialPort() { CloseDevice(); }

std::string Win32SerialPort::DeviceForPort(int16_t port) const {
  return "\\\\.\\COM" + std::to_string(port);
}

void Win32SerialPort::OpenDevice(const std::string& path) {
  if (OpenNetwork(path)) return;
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw OpenError(GetLastError(), path);
  // A read returns at once with what is there, else waits for the first
  // byte at most kReadWaitMs (under Wine it always waits kReadWaitMs): the
  // reader sleeps in the driver, never spins.
  COMMTIMEOUTS timeouts = {};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
  timeouts.ReadTotalTimeoutConstant = kReadWaitMs;
  if (!SetCommTimeouts(handle, &timeouts)) {
    const DWORD error = GetLastError();
    CloseHandle(handle);
    throw OpenError(error, path);
  }
  SetupComm(handle, 16384, 16384);
  handle_ = handle;
}

void Win32SerialPort::ApplyLine(const SerialSettings& line) {
  if (socket_ != kNoSocket) return;
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_, &dcb)) throw OpenError(GetLastError(), DevicePath());
  SetLine(line, &dcb);
  if (!SetCommState(handle_, &dcb)) throw LineRefused(SystemErrorText(GetLastError()));
}

void Win32SerialPort::StartReading() {
  stop_reading_ = false;
  reading_stopped_ = false;
  const std::string path = DevicePath();
  if (listening_) {
    reader_ =
        std::thread([this, path, options = network_options()] { ReadListener(path, options); });
  } else if (socket_ != kNoSocket) {
    reader_ = std::thread([this, path] { ReadDeviceServer(path); });
  } else {
    reader_ = std::thread([this, handle = handle_, path] { ReadLoop(handle, path); });
  }
}

void Win32SerialPort::StopReading() {
  if (!PortOpen()) return;
  JoinReader();
  reading_stopped_ = true;
}

void Win32SerialPort::JoinReader() {
  stop_reading_ = true;
  if (reader_.joinable()) reader_.join();
}

void Win32SerialPort::CloseDevice() {
  if (!PortOpen()) return;
  JoinReader();
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
  CloseNetwork();
  reading_stopped_ = false;
  std::lock_guard<std::mutex> lock(received_->mutex);
  received_->bytes.clear();
  received_->error.clear();
  received_->job_ended = false;
}

void Win32SerialPort::ReadLoop(HANDLE handle, const std::string& path) {
  char chunk[4096];
  std::string gone;  // why the device is gone; reading on would spin
  while (!stop_reading_ && gone.empty()) {
    const ULONGLONG started = GetTickCount64();
    DWORD count = 0;
    if (!ReadFile(handle, chunk, sizeof chunk, &count, nullptr)) {
      gone = SystemErrorText(GetLastError());
    } else if (count > 0) {
      std::lock_guard<std::mutex> lock(received_->mutex);
      received_->bytes.append(chunk, count);
      NotifyLoop();
    } else {
      gone = GoneReason(handle);
      // A silent read that did not wait must not make the reader spin.
      if (gone.empty() && GetTickCount64() - started < kReadWaitMs / 2) Sleep(kReadWaitMs);
    }
  }
  if (!gone.empty()) Lose(path, gone);
}

void Win32SerialPort::Lose(const std::string& path, const std::string& reason) {
  std::lock_guard<std::mutex> lock(received_->mutex);
  received_->error = ReadFailure(path, reason);
  NotifyLoop();
}

void Win32SerialPort::ReadRemaining() {
  if (socket_ != kNoSocket) {
    const Socket line = listening_ ? connection_ : socket_;
    std::string reason;
    std::lock_guard<std::mutex> lock(received_->mutex);
    while (line != kNoSocket && ReceiveTcp(line, &received_->bytes, &reason) > 0) {
    }
    return;
  }
  COMMTIMEOUTS at_once = {};
  at_once.ReadIntervalTimeout = MAXDWORD;  // the totals 0: return with what is there
  if (!SetCommTimeouts(handle_, &at_once)) return;
  char chunk[4096];
  DWORD count = 0;
  std::lock_guard<std::mutex> lock(received_->mutex);
  // A read that does not fill the chunk has taken all there was.
  while (ReadFile(handle_, chunk, sizeof chunk, &count, nullptr) && count > 0) {
    received_->bytes.append(chunk, count);
    if (count < sizeof chunk) break;
  }
}

void Win32SerialPort::NotifyLoop() {
  if (received_->notify_posted) return;
  received_->notify_posted = true;
  // The port may be gone by the time the loop runs the task.
  std::weak_ptr<Received> alive = received_;
  loop_.Post([this, alive] {
    if (!alive.expired()) RaiseOnComm();
  });
}

void Win32SerialPort::RaiseOnComm() {
  std::vector<std::string> lines;
  bool waiting = false;
  bool job_ended = false;
  {
    std::lock_guard<std::mutex> lock(received_->mutex);
    received_->notify_posted = false;
    lines = std::exchange(received_->lines, {});
    waiting = !received_->bytes.empty() || !received_->error.empty();
    job_ended = received_->job_ended;
  }
  for (const std::string& line : lines) {
    if (log_) log_(line);
  }
  if (!PortOpen() || reading_stopped_) return;
  if (waiting) RaiseReceive();
  if (!job_ended || !PortOpen()) return;
  RaiseEndOfJob();
  // Only now may the reader take the next connection: its bytes are not
  // this job's.
  std::lock_guard<std::mutex> lock(received_->mutex);
  received_->job_ended = false;
}

std::string Win32SerialPort::Input() {
  if (!PortOpen()) return "";
  if (reading_stopped_) ReadRemaining();
  std::lock_guard<std::mutex> lock(received_->mutex);
  if (received_->bytes.empty() && !received_->error.empty()) {
    throw NumberedError(kErrPortReadFailed, std::exchange(received_->error, ""));
  }
  return std::exchange(received_->bytes, "");
}
