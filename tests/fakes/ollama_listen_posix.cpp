#include <tests/fakes/ollama_listen.h>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace fake_ollama {

// As Go listens here: the address may be reused after a close, but two
// servers never share a port (cpp-httplib would also set SO_REUSEPORT).
void SetListenOptions(std::uintptr_t socket) {
  const int yes = 1;
  ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

std::string BindFailure(const std::string& host, int port) {
  addrinfo hints{}, *found = nullptr;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  const std::string service = std::to_string(port);
  if (const int rc =
          ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
      rc != 0) {
    return std::string("lookup ") + host + ": " + gai_strerror(rc);
  }
  std::string text = "address already in use";
  const int fd = ::socket(found->ai_family, SOCK_STREAM, 0);
  SetListenOptions(static_cast<std::uintptr_t>(fd));
  if (fd >= 0 && ::bind(fd, found->ai_addr, found->ai_addrlen) != 0) {
    // Go's own table words the errors in lower case.
    text = std::strerror(errno);
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  }
  char numeric[NI_MAXHOST] = "";
  ::getnameinfo(found->ai_addr, found->ai_addrlen, numeric, sizeof numeric, nullptr, 0,
                NI_NUMERICHOST);
  if (fd >= 0) ::close(fd);
  ::freeaddrinfo(found);
  const std::string address = host.empty() ? "" : std::string(numeric);
  const std::string shown = address.find(':') != std::string::npos ? "[" + address + "]" : address;
  return "listen tcp " + shown + ":" + std::to_string(port) + ": bind: " + text;
}

}  // namespace fake_ollama
