#include "platform/win32/socket-win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <memory>
#include <type_traits>

#include "platform/serial_port_base.h"
#include "platform/win32/error_text-win32.h"

static_assert(std::is_same_v<Socket, SOCKET> && kNoSocket == INVALID_SOCKET);

namespace {

struct AddressInfoDeleter {
  void operator()(addrinfo* info) const { freeaddrinfo(info); }
};
using AddressInfo = std::unique_ptr<addrinfo, AddressInfoDeleter>;

// Once per process; never cleaned up, the sockets live as long as it.
void StartWinsock() {
  static const int started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  static_cast<void>(started);
}

NumberedError SocketError(int error, const std::string& path) {
  const std::string reason = SystemErrorText(error);
  return error == WSAEADDRINUSE ? PortBusy(path, reason) : PortAbsent(path, reason);
}

AddressInfo Resolve(const NetworkDevice& device, const std::string& path) {
  StartWinsock();
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = device.listen ? AI_PASSIVE | AI_NUMERICHOST : AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(device.host.c_str(), device.port.c_str(), &hints, &found);
  if (status != 0) throw SocketError(status, path);
  return AddressInfo(found);
}

// A non-blocking socket for address; INVALID_SOCKET, WSAGetLastError saying why, when none.
SOCKET NewSocket(const addrinfo& address) {
  const SOCKET sock = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
  u_long on = 1;
  if (sock != INVALID_SOCKET) ioctlsocket(sock, FIONBIO, &on);
  return sock;
}

// Connects sock, waiting at most kConnectWaitMs; 0 or the failure's code.
// select, not WSAPoll: older Windows has WSAPoll miss a refused connection.
int Connect(SOCKET sock, const addrinfo& address) {
  if (connect(sock, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return 0;
  if (WSAGetLastError() != WSAEWOULDBLOCK) return WSAGetLastError();
  fd_set writable, failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(sock, &writable);
  FD_SET(sock, &failed);
  timeval wait = {kConnectWaitMs / 1000, kConnectWaitMs % 1000 * 1000};
  if (select(0, nullptr, &writable, &failed, &wait) <= 0) return WSAETIMEDOUT;
  int error = 0;
  int size = sizeof error;
  getsockopt(sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size);
  return error;
}

}  // namespace

Socket ListenTcp(const NetworkDevice& device, const std::string& path) {
  const AddressInfo address = Resolve(device, path);
  const SOCKET sock = NewSocket(*address);
  if (sock == INVALID_SOCKET) throw SocketError(WSAGetLastError(), path);
  if (bind(sock, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0 ||
      listen(sock, SOMAXCONN) != 0) {
    const int error = WSAGetLastError();
    closesocket(sock);
    throw SocketError(error, path);
  }
  return sock;
}

Socket ConnectTcp(const NetworkDevice& device, const std::string& path) {
  const AddressInfo addresses = Resolve(device, path);
  int error = WSAEHOSTUNREACH;
  for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
    const SOCKET sock = NewSocket(*address);
    if (sock == INVALID_SOCKET) {
      error = WSAGetLastError();
      continue;
    }
    error = Connect(sock, *address);
    if (error == 0) return sock;
    closesocket(sock);
  }
  throw SocketError(error, path);
}

Socket AcceptTcp(Socket listener, std::string* peer) {
  sockaddr_storage address{};
  int size = sizeof address;
  const SOCKET sock = accept(listener, reinterpret_cast<sockaddr*>(&address), &size);
  if (sock == INVALID_SOCKET) return kNoSocket;
  char host[NI_MAXHOST] = "";
  getnameinfo(reinterpret_cast<sockaddr*>(&address), size, host, sizeof host, nullptr, 0,
              NI_NUMERICHOST);
  *peer = host;
  return sock;
}

bool WaitReadable(Socket socket, int wait_ms) {
  WSAPOLLFD wait = {socket, POLLRDNORM, 0};
  return WSAPoll(&wait, 1, wait_ms) > 0;
}

int ReceiveTcp(Socket socket, std::string* into, std::string* reason) {
  char chunk[4096];
  const int count = recv(socket, chunk, sizeof chunk, 0);
  if (count > 0) {
    into->append(chunk, static_cast<size_t>(count));
    return count;
  }
  if (count < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return 0;
  *reason = count == 0 ? kEndOfFile : SystemErrorText(WSAGetLastError());
  return -1;
}

void CloseSocket(Socket socket) { closesocket(socket); }
