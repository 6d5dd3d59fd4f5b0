#include "socket_owner.h"

// winsock2 before windows.h, or the old winsock's names clash.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <winternl.h>

#include <map>
#include <memory>
#include <vector>

#include "handle.h"
#include "own_process.h"

namespace platform::win32 {
namespace {

// The extended handle table's layout (SystemExtendedHandleInformation); the
// SDK headers do not carry it.
constexpr ULONG kExtendedHandleInformation = 64;
struct HandleEntry {
  PVOID object;
  ULONG_PTR processId;
  ULONG_PTR handleValue;
  ULONG grantedAccess;
  USHORT creatorBackTraceIndex;
  USHORT objectTypeIndex;
  ULONG handleAttributes;
  ULONG reserved;
};
struct HandleTable {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

using QuerySystemInformation = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

std::unique_ptr<unsigned char[]> ReadHandleTable() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQuerySystemInformation")));
  if (query == nullptr) return nullptr;
  ULONG size = 1 << 16;
  // The table grows while it is read; a few rounds with room to spare.
  for (int attempt = 0; attempt < 6; ++attempt) {
    auto bytes = std::make_unique<unsigned char[]>(size);
    ULONG needed = 0;
    const NTSTATUS status = query(kExtendedHandleInformation, bytes.get(), size, &needed);
    if (NT_SUCCESS(status)) return bytes;
    if (status != static_cast<NTSTATUS>(0xC0000004L)) return nullptr;  // not a length mismatch
    size = (needed > size ? needed : size * 2) + 4096;
  }
  return nullptr;
}

// Bound to the port: the listener itself or one of its accepted connections,
// both held by the process that listens.
bool BoundToPort(HANDLE handle, std::uint16_t port) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (::getsockname(reinterpret_cast<SOCKET>(handle), reinterpret_cast<sockaddr*>(&address),
                    &length) != 0) {
    return false;
  }
  if (address.ss_family == AF_INET) {
    return ::ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port) == port;
  }
  if (address.ss_family == AF_INET6) {
    return ::ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port) == port;
  }
  return false;
}

}  // namespace

std::optional<DWORD> SocketOwnerByHandles(std::uint16_t port) {
  // A socket of our own shows which object type sockets have here, so that
  // only handles of that type are looked at.
  const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (probe == INVALID_SOCKET) return std::nullopt;
  const auto bytes = ReadHandleTable();
  const DWORD self = ::GetCurrentProcessId();
  std::optional<USHORT> socketType;
  std::map<DWORD, std::vector<HANDLE>> candidates;
  if (bytes != nullptr) {
    const auto* table = reinterpret_cast<const HandleTable*>(bytes.get());
    for (ULONG_PTR i = 0; i < table->count; ++i) {
      const HandleEntry& entry = table->entries[i];
      if (entry.processId == self && entry.handleValue == static_cast<ULONG_PTR>(probe)) {
        socketType = entry.objectTypeIndex;
      }
    }
    for (ULONG_PTR i = 0; socketType && i < table->count; ++i) {
      const HandleEntry& entry = table->entries[i];
      if (entry.objectTypeIndex != *socketType) continue;
      if (entry.processId == self && entry.handleValue == static_cast<ULONG_PTR>(probe)) continue;
      candidates[static_cast<DWORD>(entry.processId)].push_back(
          reinterpret_cast<HANDLE>(entry.handleValue));
    }
  }
  ::closesocket(probe);

  for (const auto& [processId, handles] : candidates) {
    if (processId == self) {
      for (HANDLE handle : handles) {
        if (BoundToPort(handle, port)) return processId;
      }
      continue;
    }
    Handle process(
        ::OpenProcess(PROCESS_DUP_HANDLE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process.valid() || !IsOwnProcess(process.get())) continue;
    for (HANDLE handle : handles) {
      HANDLE copy = nullptr;
      if (!::DuplicateHandle(process.get(), handle, ::GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS)) {
        continue;
      }
      const Handle owned(copy);
      if (BoundToPort(copy, port)) return processId;
    }
  }
  return std::nullopt;
}

}  // namespace platform::win32
