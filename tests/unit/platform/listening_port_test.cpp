#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include <platform/listening_port.h>

namespace {

// A listening socket of this process on 127.0.0.1.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd_, 4) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~Listener() { ::close(fd_); }
  std::uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
};

TEST(ListeningPort, TheListenerIsFoundWithItsProgram) {
  Listener listener;
  ASSERT_NE(listener.port(), 0);
  const platform::PortOwner owner = platform::FindPortOwner(listener.port());
  EXPECT_TRUE(owner.listening);
  EXPECT_TRUE(owner.sameUser);
  ASSERT_TRUE(owner.processId.has_value());
  EXPECT_EQ(*owner.processId, static_cast<long>(::getpid()));
  EXPECT_EQ(owner.executable, std::filesystem::read_symlink("/proc/self/exe").string());
}

TEST(ListeningPort, AFreePortHasNoOwner) {
  const std::uint16_t port = platform::PickFreeLoopbackPort();
  ASSERT_NE(port, 0);
  const platform::PortOwner owner = platform::FindPortOwner(port);
  EXPECT_FALSE(owner.listening);
  EXPECT_FALSE(owner.processId.has_value());
}

}  // namespace
