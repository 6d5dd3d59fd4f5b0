#include <tests/fakes/chatbox_instance.h>
#include <tests/fakes/chatbox_instance_message.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <platform/atomic_file.h>

namespace fake_chatbox {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxMessage = 64 * 1024;
constexpr int kPeerWaitMs = 5000;

bool SocketAddress(const fs::path& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  const std::string text = path.string();
  if (text.size() >= sizeof address->sun_path) return false;
  std::memcpy(address->sun_path, text.c_str(), text.size() + 1);
  return true;
}

int Listen(const fs::path& path) {
  sockaddr_un address{};
  if (!SocketAddress(path, &address)) return -1;
  // What a crashed holder left behind is ours to clear: the lock is ours now.
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) ::unlink(path.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const mode_t old = ::umask(077);
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::umask(old);
  if (!bound || ::listen(fd, 8) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads until the peer closes its side, a bounded time and size.
std::string ReadToEnd(int fd) {
  std::string data;
  char block[4096];
  while (data.size() < kMaxMessage) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kPeerWaitMs) <= 0) break;
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    data.append(block, static_cast<std::size_t>(n));
  }
  return data;
}

// The later start's side: hand over the command line, wait for the answer.
void Notify(const fs::path& path, const std::vector<std::string>& args) {
  sockaddr_un address{};
  if (!SocketAddress(path, &address)) return;
  std::error_code ec;
  const std::string message = StartMessage(fs::current_path(ec).string(), args);
  // The holder may have taken the lock a moment before it listens.
  for (int attempt = 0; attempt < 60; ++attempt) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      if (WriteAll(fd, message)) {
        ::shutdown(fd, SHUT_WR);
        ReadToEnd(fd);
      }
      ::close(fd);
      return;
    }
    ::close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

struct SingleInstance::Parts {
  int lockFd;
  int listenFd;
  int wakeRead;
  int wakeWrite;
  fs::path socket;
};

SingleInstance::SingleInstance(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}

SingleInstance::~SingleInstance() {
  if (parts_->listenFd >= 0) {
    ::unlink(parts_->socket.c_str());
    ::close(parts_->listenFd);
  }
  ::close(parts_->wakeRead);
  ::close(parts_->wakeWrite);
  ::close(parts_->lockFd);
}

SingleInstance::Claim SingleInstance::Take(const fs::path& folder,
                                           const std::vector<std::string>& args,
                                           std::unique_ptr<SingleInstance>* self) {
  if (platform::CreatePrivateFolders(folder) != 0) return Claim::Failed;
  const fs::path lockPath = folder / "SingletonLock";
  const fs::path socketPath = folder / "SingletonSocket";
  const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lockFd < 0) return Claim::Failed;
  if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(lockFd);
    if (error != EWOULDBLOCK) return Claim::Failed;
    Notify(socketPath, args);
    return Claim::Second;
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(lockFd, 0) == 0) (void)!::write(lockFd, pid.data(), pid.size());
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC) != 0) {
    ::close(lockFd);
    return Claim::Failed;
  }
  // Without a socket (a folder path too long for one) later starts still
  // find the lock held and quit; they just cannot say so.
  const int listenFd = Listen(socketPath);
  self->reset(new SingleInstance(
      std::unique_ptr<Parts>(new Parts{lockFd, listenFd, wake[0], wake[1], socketPath})));
  return Claim::First;
}

std::optional<std::vector<std::string>> SingleInstance::NextStart() {
  for (;;) {
    pollfd p[2] = {{parts_->wakeRead, POLLIN, 0}, {parts_->listenFd, POLLIN, 0}};
    const nfds_t count = parts_->listenFd >= 0 ? 2 : 1;
    if (::poll(p, count, -1) < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (p[0].revents != 0) return std::nullopt;
    if (count < 2 || (p[1].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(parts_->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const std::string message = ReadToEnd(fd);
    WriteAll(fd, "ACK");
    ::close(fd);
    if (auto args = StartArguments(message)) return args;
  }
}

void SingleInstance::Close() {
  const char byte = 1;
  (void)!::write(parts_->wakeWrite, &byte, 1);
}

}  // namespace fake_chatbox
