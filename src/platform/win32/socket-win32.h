#ifndef QUELLOR_PLATFORM_WIN32_SOCKET_WIN32_H_
#define QUELLOR_PLATFORM_WIN32_SOCKET_WIN32_H_

#include <cstdint>
#include <string>

#include "platform/network_device.h"

// Non-blocking Winsock TCP sockets for network input, each a SOCKET kept as
// its integer type: winsock2.h must come before windows.h, which the headers
// that include this one cannot be made to keep. Winsock is started with the
// first socket. Failures raise the serial port's open errors, naming path:
// kErrPortBusy for an address in use, kErrPortOpenFailed for anything else
// (no such host, refused, unreachable).

using Socket = uintptr_t;
inline constexpr Socket kNoSocket = ~Socket{0};  // INVALID_SOCKET

// A socket listening on the device's address and port.
Socket ListenTcp(const NetworkDevice& device, const std::string& path);

// A socket connected to the device's host and port, waiting at most
// kConnectWaitMs for the connection.
Socket ConnectTcp(const NetworkDevice& device, const std::string& path);

// A waiting connection on listener, its peer's numeric address in *peer;
// kNoSocket when none waits.
Socket AcceptTcp(Socket listener, std::string* peer);

// Waits at most wait_ms for socket to have something to take: bytes, its
// end, a connection waiting. False when nothing came.
bool WaitReadable(Socket socket, int wait_ms);

// Appends what socket holds to *into: the count of bytes, 0 when none waits,
// -1 when the connection has ended or failed, *reason saying why (kEndOfFile
// for an orderly end).
int ReceiveTcp(Socket socket, std::string* into, std::string* reason);

void CloseSocket(Socket socket);

#endif  // QUELLOR_PLATFORM_WIN32_SOCKET_WIN32_H_
