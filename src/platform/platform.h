#ifndef QUELLOR_PLATFORM_PLATFORM_H_
#define QUELLOR_PLATFORM_PLATFORM_H_

#include <memory>
#include <string>

#include "platform/display.h"
#include "platform/event_loop.h"
#include "platform/serial_port.h"
#include "platform/service_control.h"

// The platform objects of one process, wired to one event loop.
struct Platform {
  std::unique_ptr<EventLoop> loop;
  std::unique_ptr<SerialPort> com_port;
  std::unique_ptr<ServiceControl> service;
  std::unique_ptr<Display> display;
};

// Makes this platform's objects; command_line is the argument text. The
// objects' own log lines go to log.
std::unique_ptr<Platform> CreatePlatform(const std::string& command_line, LogSink log);

#endif  // QUELLOR_PLATFORM_PLATFORM_H_
