#ifndef QUELLOR_PLATFORM_POSIX_SOCKET_POSIX_H_
#define QUELLOR_PLATFORM_POSIX_SOCKET_POSIX_H_

#include <string>

#include "platform/network_device.h"

// Non-blocking TCP sockets for network input. Failures raise the serial
// port's open errors, naming path: kErrPortBusy for an address in use,
// kErrPortOpenFailed for anything else (no such host, refused, unreachable).

// A socket listening on the device's address and port.
int ListenTcp(const NetworkDevice& device, const std::string& path);

// A socket connected to the device's host and port, waiting at most
// kConnectWaitMs for the connection.
int ConnectTcp(const NetworkDevice& device, const std::string& path);

// A waiting connection on listener, its peer's numeric address in *peer; -1
// when none waits.
int AcceptTcp(int listener, std::string* peer);

#endif  // QUELLOR_PLATFORM_POSIX_SOCKET_POSIX_H_
