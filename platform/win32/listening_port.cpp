#include <platform/listening_port.h>

// winsock2 before windows.h, or the old winsock's names clash.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <memory>

#include <platform/os_encoding.h>

#include "handle.h"
#include "own_process.h"
#include "socket_owner.h"

namespace platform {
namespace {

// The listening sockets of one address family, each with its process.
template <typename Table>
std::unique_ptr<unsigned char[]> Listeners(ULONG family) {
  DWORD size = 0;
  std::unique_ptr<unsigned char[]> table;
  // The table may grow between asking its size and reading it.
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD result =
        ::GetExtendedTcpTable(table.get(), &size, FALSE, family, TCP_TABLE_OWNER_PID_LISTENER, 0);
    if (result == NO_ERROR && table != nullptr) return table;
    if (result != ERROR_INSUFFICIENT_BUFFER && table != nullptr) return nullptr;
    table = std::make_unique<unsigned char[]>(size + sizeof(typename Table::value_type) * 8);
    size += static_cast<DWORD>(sizeof(typename Table::value_type) * 8);
  }
  return nullptr;
}

struct V4 {
  using value_type = MIB_TCPROW_OWNER_PID;
  using table_type = MIB_TCPTABLE_OWNER_PID;
};
struct V6 {
  using value_type = MIB_TCP6ROW_OWNER_PID;
  using table_type = MIB_TCP6TABLE_OWNER_PID;
};

// The process listening on the port in one family; nullopt when none.
template <typename Family>
std::optional<DWORD> ListenerOf(ULONG family, std::uint16_t port) {
  const auto bytes = Listeners<Family>(family);
  if (bytes == nullptr) return std::nullopt;
  const auto* table = reinterpret_cast<const typename Family::table_type*>(bytes.get());
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    const auto& row = table->table[i];
    // The port sits in network order in the low 16 bits.
    if (::ntohs(static_cast<u_short>(row.dwLocalPort)) == port) return row.dwOwningPid;
  }
  return std::nullopt;
}

void StartWinsock() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

}  // namespace

PortOwner FindPortOwner(std::uint16_t port) {
  PortOwner owner;
  std::optional<DWORD> pid = ListenerOf<V4>(AF_INET, port);
  if (!pid) pid = ListenerOf<V6>(AF_INET6, port);
  if (!pid) return owner;
  owner.listening = true;
  // Id 0 is the idle process, which listens nowhere: the table did not know.
  if (*pid == 0) {
    StartWinsock();
    pid = win32::SocketOwnerByHandles(port);
    if (!pid) return owner;
  }
  win32::Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, *pid));
  if (!process.valid() || !win32::IsOwnProcess(process.get())) return owner;
  owner.sameUser = true;
  owner.processId = static_cast<long>(*pid);
  if (const auto image = win32::ImagePath(process.get())) {
    owner.executable = WideToOsNarrow(image->native());
  }
  return owner;
}

std::uint16_t PickFreeLoopbackPort() {
  StartWinsock();
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // the system's choice among the free ones
  int length = sizeof address;
  std::uint16_t port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ::ntohs(address.sin_port);
  }
  ::closesocket(s);
  return port;
}

}  // namespace platform
