#include <tests/fakes/ollama_listen.h>

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <platform/utf.h>

namespace fake_ollama {

namespace {

// The system's message, as Go's syscall.Errno gives it on Windows: US
// English when the system has it, the line end taken off.
std::string SystemMessage(int error) {
  wchar_t* buffer = nullptr;
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = 0;
  const WORD languages[] = {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 0};
  for (const WORD language : languages) {
    length = FormatMessageW(flags, nullptr, static_cast<DWORD>(error), language,
                            reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length != 0) break;
  }
  if (length == 0) return "winapi error #" + std::to_string(error);
  std::wstring text(buffer, length);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
  return platform::WideToUtf8(text);
}

}  // namespace

// Go sets no reuse option on Windows: there SO_REUSEADDR would let a second
// server take the port over.
void SetListenOptions(std::uintptr_t) {}

std::string BindFailure(const std::string& host, int port) {
  WSADATA data{};
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return "listen tcp: winsock unavailable";
  addrinfo hints{}, *found = nullptr;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  const std::string service = std::to_string(port);
  if (const int rc =
          getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
      rc != 0) {
    WSACleanup();
    return "lookup " + host + ": " + SystemMessage(rc);
  }
  std::string text = SystemMessage(WSAEADDRINUSE);
  const SOCKET sock = socket(found->ai_family, SOCK_STREAM, 0);
  if (sock != INVALID_SOCKET &&
      bind(sock, found->ai_addr, static_cast<int>(found->ai_addrlen)) == SOCKET_ERROR) {
    text = SystemMessage(WSAGetLastError());
  }
  char numeric[NI_MAXHOST] = "";
  getnameinfo(found->ai_addr, static_cast<socklen_t>(found->ai_addrlen), numeric, sizeof numeric,
              nullptr, 0, NI_NUMERICHOST);
  if (sock != INVALID_SOCKET) closesocket(sock);
  freeaddrinfo(found);
  WSACleanup();
  const std::string address = host.empty() ? "" : std::string(numeric);
  const std::string shown = address.find(':') != std::string::npos ? "[" + address + "]" : address;
  return "listen tcp " + shown + ":" + std::to_string(port) + ": bind: " + text;
}

}  // namespace fake_ollama
