#include <memory>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "platform/posix/display-posix.h"
#include "platform/posix/event_loop-posix.h"
#include "platform/posix/serial_port-posix.h"
#include "platform/posix/service_control-posix.h"

std::unique_ptr<Platform> CreatePlatform(const std::string& /*command_line*/, LogSink log) {
  auto loop = std::make_unique<PosixEventLoop>();
  auto platform = std::make_unique<Platform>();
  platform->com_port = std::make_unique<PosixSerialPort>(*loop, log);
  platform->service = std::make_unique<PosixServiceControl>(*loop, std::move(log));
  platform->display = std::make_unique<PosixDisplay>();
  platform->loop = std::move(loop);
  return platform;
}
