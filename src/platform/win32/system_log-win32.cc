#include "platform/win32/system_log-win32.h"

#include <memory>
#include <string>

#include "event_messages.h"
#include "platform/service_control.h"

namespace {

struct EventKind {
  WORD type;
  DWORD message_id;
};

EventKind KindOf(LogSeverity severity) {
  switch (severity) {
    case LogSeverity::kError:
      return {EVENTLOG_ERROR_TYPE, MSG_LOG_ERROR};
    case LogSeverity::kWarning:
      return {EVENTLOG_WARNING_TYPE, MSG_LOG_WARNING};
    default:
      return {EVENTLOG_INFORMATION_TYPE, MSG_LOG_INFORMATION};
  }
}

}  // namespace

Win32SystemLog::Win32SystemLog()
    : source_(RegisterEventSourceA(nullptr, ServiceControl::kServiceName)) {}

Win32SystemLog::~Win32SystemLog() {
  if (source_ != nullptr) DeregisterEventSource(source_);
}

bool Win32SystemLog::Write(LogSeverity severity, const std::string& message, bool /*in_file*/) {
  if (source_ == nullptr) return false;
  const EventKind kind = KindOf(severity);
  const char* strings[] = {message.c_str()};
  return ReportEventA(source_, kind.type, 0, kind.message_id, nullptr, 1, 0, strings, nullptr) !=
         FALSE;
}

std::unique_ptr<SystemLog> CreateSystemLog() { return std::make_unique<Win32SystemLog>(); }
