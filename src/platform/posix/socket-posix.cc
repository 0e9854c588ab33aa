#include "platform/posix/socket-posix.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/serial_port_base.h"
#include "util/numbered_error.h"

namespace {

struct AddressInfoDeleter {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};
using AddressInfo = std::unique_ptr<addrinfo, AddressInfoDeleter>;

NumberedError SocketError(int error, const std::string& path) {
  const std::string reason = std::strerror(error);
  return error == EADDRINUSE ? PortBusy(path, reason) : PortAbsent(path, reason);
}

AddressInfo Resolve(const NetworkDevice& device, const std::string& path) {
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = device.listen ? AI_PASSIVE | AI_NUMERICHOST : AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(device.host.c_str(), device.port.c_str(), &hints, &found);
  if (status != 0) throw PortAbsent(path, gai_strerror(status));
  return AddressInfo(found);
}

int NewSocket(const addrinfo& address) {
  return socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                address.ai_protocol);
}

// Connects fd, waiting at most kConnectWaitMs; 0 or the failure's errno.
int Connect(int fd, const addrinfo& address) {
  if (connect(fd, address.ai_addr, address.ai_addrlen) == 0) return 0;
  if (errno != EINPROGRESS) return errno;
  pollfd wait{fd, POLLOUT, 0};
  if (poll(&wait, 1, kConnectWaitMs) <= 0) return ETIMEDOUT;
  int error = 0;
  socklen_t size = sizeof error;
  getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
  return error;
}

}  // namespace

int ListenTcp(const NetworkDevice& device, const std::string& path) {
  const AddressInfo address = Resolve(device, path);
  const int fd = NewSocket(*address);
  if (fd < 0) throw SocketError(errno, path);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, address->ai_addr, address->ai_addrlen) != 0 || listen(fd, SOMAXCONN) != 0) {
    const int error = errno;
    close(fd);
    throw SocketError(error, path);
  }
  return fd;
}

int ConnectTcp(const NetworkDevice& device, const std::string& path) {
  const AddressInfo addresses = Resolve(device, path);
  int error = EHOSTUNREACH;
  for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
    const int fd = NewSocket(*address);
    if (fd < 0) {
      error = errno;
      continue;
    }
    error = Connect(fd, *address);
    if (error == 0) return fd;
    close(fd);
  }
  throw SocketError(error, path);
}

int AcceptTcp(int listener, std::string* peer) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  const int fd =
      accept4(listener, reinterpret_cast<sockaddr*>(&address), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return -1;
  char host[NI_MAXHOST] = "";
  getnameinfo(reinterpret_cast<sockaddr*>(&address), size, host, sizeof host, nullptr, 0,
              NI_NUMERICHOST);
  *peer = host;
  return fd;
}
