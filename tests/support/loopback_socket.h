#pragma once
// Plain TCP sockets on 127.0.0.1, for test servers that misbehave on
// purpose below HTTP: one implementation per system.
#include <cstddef>
#include <cstdint>

// A socket descriptor here, a SOCKET on Windows.
using SocketId = std::int64_t;
inline constexpr SocketId kNoSocket = -1;

// Listens on an ephemeral port of 127.0.0.1; *port gets it.
SocketId ListenOnLoopback(int* port);
// A connection to the port on 127.0.0.1; kNoSocket when none is made.
SocketId ConnectToLoopback(int port);
// True when a connection to the port on 127.0.0.1 is accepted (it is then
// closed at once).
bool ConnectsToLoopback(int port);
// True when a connection or data (or the end) waits, within timeoutMs.
bool WaitReadable(SocketId socket, int timeoutMs);
SocketId AcceptClient(SocketId listener);
// The byte count, 0 at the end, -1 on error.
long long ReceiveSome(SocketId socket, char* buffer, std::size_t length);
// False when the peer went away (without ending the process).
bool SendAll(SocketId socket, const char* data, std::size_t length);
// Closes with a reset (RST), as a dropped connection looks.
void CloseWithReset(SocketId socket);
void CloseSocket(SocketId socket);
// A port of 127.0.0.1 that was free a moment ago.
inline int FreeLoopbackPort() {
  int port = 0;
  CloseSocket(ListenOnLoopback(&port));
  return port;
}
// Whether a reset reaches the peer as an error here. Wine turns it into a
// plain end, which a body of unknown length cannot tell from its last byte.
bool ResetReachesPeer();
