#include <memory>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/win32/display-win32.h"
#include "platform/win32/event_loop-win32.h"
#include "platform/win32/serial_port-win32.h"
#include "platform/win32/service_control-win32.h"

std::unique_ptr<Platform> CreatePlatform(const std::string& /*command_line*/, LogSink log) {
  auto loop = std::make_unique<Win32EventLoop>();
  auto platform = std::make_unique<Platform>();
  platform->com_port = std::make_unique<Win32SerialPort>(*loop, log);
  platform->service = std::make_unique<Win32ServiceControl>(*loop, std::move(log));
  platform->display = std::make_unique<Win32Display>(*loop);
  platform->loop = std::move(loop);
  return platform;
}
