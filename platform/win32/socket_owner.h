#pragma once
// The process holding a listening socket, found through the system's handle
// table: for where the TCP table names no owner. Wine's never does, since its
// server process holds every listening socket on the host side.
#include <cstdint>
#include <optional>

#include <windows.h>

namespace platform::win32 {

// Among processes of our own user and session only; nullopt when none of
// them holds a socket bound to the port.
std::optional<DWORD> SocketOwnerByHandles(std::uint16_t port);

}  // namespace platform::win32
