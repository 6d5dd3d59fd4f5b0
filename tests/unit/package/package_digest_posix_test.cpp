// A cancel that stops the digest check while it reads. The archive is a
// named pipe (mkfifo): only POSIX opens a pipe by a path in a folder of ours.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

#include <package/package_digest.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// SHA-256 of "abc".
constexpr char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

// The archive comes through a pipe that stays open until the check returns:
// it can only end by the cancel that arrives once reading has begun.
TEST(PackageDigest, ACancelWhileReadingStopsTheCheck) {
  TempHome home;
  const fs::path pipe = home.root() / "deepseek.zip";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const auto previous = ::signal(SIGPIPE, SIG_IGN);  // the reader may be gone before the last byte
  std::atomic<bool> cancel{false};
  std::promise<void> checked;
  std::thread writer([&, done = checked.get_future()] {
    const int fd = ::open(pipe.c_str(), O_WRONLY | O_CLOEXEC);
    const std::string first(4096, 'a');
    (void)!::write(fd, first.data(), first.size());
    cancel = true;
    (void)!::write(fd, "b", 1);
    done.wait();
    ::close(fd);
  });
  const DigestCheck result = CheckPackageDigest(platform::WidePath(pipe), kAbcDigest, &cancel);
  checked.set_value();
  writer.join();
  ::signal(SIGPIPE, previous);
  EXPECT_EQ(result, DigestCheck::Cancelled);
}

}  // namespace
