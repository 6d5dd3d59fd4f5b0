#include "loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int Fd(SocketId socket) { return static_cast<int>(socket); }

}  // namespace

SocketId ListenOnLoopback(int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(fd, 16);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return fd;
}

SocketId ConnectToLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return kNoSocket;
  }
  return fd;
}

bool ConnectsToLoopback(int port) {
  const SocketId s = ConnectToLoopback(port);
  if (s == kNoSocket) return false;
  CloseSocket(s);
  return true;
}

bool WaitReadable(SocketId socket, int timeoutMs) {
  pollfd p{Fd(socket), POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
}

SocketId AcceptClient(SocketId listener) {
  return ::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
}

long long ReceiveSome(SocketId socket, char* buffer, std::size_t length) {
  return ::recv(Fd(socket), buffer, length, 0);
}

bool SendAll(SocketId socket, const char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::send(Fd(socket), data, length, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

void CloseWithReset(SocketId socket) {
  const linger reset{1, 0};
  ::setsockopt(Fd(socket), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  ::close(Fd(socket));
}

void CloseSocket(SocketId socket) { ::close(Fd(socket)); }
