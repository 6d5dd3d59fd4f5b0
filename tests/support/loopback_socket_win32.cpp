#include "loopback_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

namespace {

SOCKET Raw(SocketId socket) { return static_cast<SOCKET>(socket); }

SocketId Id(SOCKET socket) {
  return socket == INVALID_SOCKET ? kNoSocket : static_cast<SocketId>(socket);
}

// Winsock wants starting once per process.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

int Piece(std::size_t length) { return length > INT_MAX ? INT_MAX : static_cast<int>(length); }

}  // namespace

SocketId ListenOnLoopback(int* port) {
  StartWinsock();
  // Not inherited by the programs a test starts.
  const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                              WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(s, 16);
  int length = sizeof address;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  *port = ntohs(address.sin_port);
  return Id(s);
}

SocketId ConnectToLoopback(int port) {
  StartWinsock();
  const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                              WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return kNoSocket;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::closesocket(s);
    return kNoSocket;
  }
  return Id(s);
}

bool ConnectsToLoopback(int port) {
  const SocketId s = ConnectToLoopback(port);
  if (s == kNoSocket) return false;
  CloseSocket(s);
  return true;
}

bool WaitReadable(SocketId socket, int timeoutMs) {
  WSAPOLLFD p{Raw(socket), POLLRDNORM, 0};
  return WSAPoll(&p, 1, timeoutMs) > 0;
}

SocketId AcceptClient(SocketId listener) { return Id(::accept(Raw(listener), nullptr, nullptr)); }

long long ReceiveSome(SocketId socket, char* buffer, std::size_t length) {
  return ::recv(Raw(socket), buffer, Piece(length), 0);
}

bool SendAll(SocketId socket, const char* data, std::size_t length) {
  while (length > 0) {
    const int n = ::send(Raw(socket), data, Piece(length), 0);
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

void CloseWithReset(SocketId socket) {
  const linger reset{1, 0};
  ::setsockopt(Raw(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset),
               sizeof reset);
  ::closesocket(Raw(socket));
}

void CloseSocket(SocketId socket) { ::closesocket(Raw(socket)); }
