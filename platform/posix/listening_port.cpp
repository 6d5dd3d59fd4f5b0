#include <platform/listening_port.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

constexpr int kListenState = 0x0A;  // TCP_LISTEN in the kernel's tables

struct Listener {
  uid_t uid = 0;
  unsigned long inode = 0;
};

// A row of /proc/net/tcp or tcp6: "sl local rem st tx:rx tr:when retr uid
// timeout inode ...", the local address as HEX_ADDRESS:HEX_PORT.
std::optional<Listener> FindListener(const char* table, std::uint16_t port) {
  std::ifstream in(table);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string slot, local, remote, state, queues, timer, retransmits;
    unsigned long uid = 0, timeout = 0, inode = 0;
    if (!(row >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
          timeout >> inode)) {
      continue;
    }
    const auto colon = local.rfind(':');
    if (colon == std::string::npos) continue;
    unsigned long localPort = 0, st = 0;
    try {
      localPort = std::stoul(local.substr(colon + 1), nullptr, 16);
      st = std::stoul(state, nullptr, 16);
    } catch (const std::exception&) {
      continue;
    }
    if (localPort == port && st == kListenState) {
      return Listener{static_cast<uid_t>(uid), inode};
    }
  }
  return std::nullopt;
}

std::string ResolvedExecutable(const std::filesystem::path& processFolder) {
  std::error_code ec;
  std::string exe = std::filesystem::read_symlink(processFolder / "exe", ec).string();
  if (ec) return {};
  static const std::string kDeleted = " (deleted)";
  if (exe.size() > kDeleted.size() && exe.ends_with(kDeleted))
    exe.resize(exe.size() - kDeleted.size());
  return exe;
}

// The process of this user that has the socket open.
std::optional<long> FindSocketHolder(unsigned long inode, std::string* executable) {
  const std::string wanted = "socket:[" + std::to_string(inode) + "]";
  const uid_t self = ::getuid();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid = entry.path().filename().string();
    if (pid.empty() || !std::isdigit(static_cast<unsigned char>(pid[0]))) continue;
    struct stat info {};
    if (::stat(entry.path().c_str(), &info) != 0 || info.st_uid != self) continue;
    std::error_code fdError;
    for (const auto& fd : std::filesystem::directory_iterator(entry.path() / "fd", fdError)) {
      std::error_code linkError;
      if (std::filesystem::read_symlink(fd.path(), linkError).string() != wanted) continue;
      *executable = ResolvedExecutable(entry.path());
      return std::stol(pid);
    }
  }
  return std::nullopt;
}

}  // namespace

PortOwner FindPortOwner(std::uint16_t port) {
  PortOwner owner;
  std::optional<Listener> listener = FindListener("/proc/net/tcp", port);
  if (!listener) listener = FindListener("/proc/net/tcp6", port);
  if (!listener) return owner;
  owner.listening = true;
  owner.sameUser = listener->uid == ::getuid();
  if (owner.sameUser && listener->inode != 0) {
    owner.processId = FindSocketHolder(listener->inode, &owner.executable);
  }
  return owner;
}

std::uint16_t PickFreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // the kernel's choice among the free ones
  socklen_t length = sizeof address;
  std::uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace platform
