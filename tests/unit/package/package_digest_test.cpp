// The package's digest check, and a cancel that stops it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <fstream>
#include <future>
#include <thread>

#include <package/package_digest.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// SHA-256 of "abc".
constexpr char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(PackageDigest, EachOutcomeOfTheCheck) {
  TempHome home;
  const fs::path archive = home.root() / "安装 包.zip";
  std::ofstream(archive, std::ios::binary) << "abc";
  std::string upper = kAbc;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string wrong = kAbc;
  wrong[10] = wrong[10] == '0' ? '1' : '0';
  struct Case {
    const char* what;
    fs::path file;
    std::string digest;
    bool cancelled;
    DigestCheck expected;
  };
  const std::vector<Case> cases = {
      {"nothing announced", archive, "", false, DigestCheck::Match},
      {"nothing announced, nothing there", home.root() / "missing", "", false, DigestCheck::Match},
      {"the digest", archive, kAbc, false, DigestCheck::Match},
      {"the digest in capitals", archive, upper, false, DigestCheck::Match},
      {"another digest", archive, wrong, false, DigestCheck::Mismatch},
      {"a digest a digit short", archive, std::string(kAbc).substr(1), false,
       DigestCheck::Mismatch},
      {"not hexadecimal", archive, "zz" + std::string(kAbc).substr(2), false,
       DigestCheck::Mismatch},
      {"no archive", home.root() / "missing", kAbc, false, DigestCheck::Unreadable},
      {"a folder", home.root(), kAbc, false, DigestCheck::Unreadable},
      {"cancelled before the start", archive, kAbc, true, DigestCheck::Cancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::atomic<bool> cancel{c.cancelled};
    EXPECT_EQ(CheckPackageDigest(platform::WidePath(c.file), c.digest, &cancel), c.expected);
    // The yes-or-no form agrees, and ignores nothing but a cancel.
    if (!c.cancelled) {
      EXPECT_EQ(VerifyPackageDigest(platform::WidePath(c.file), c.digest),
                c.expected == DigestCheck::Match);
    }
  }
}

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
  const DigestCheck result = CheckPackageDigest(platform::WidePath(pipe), kAbc, &cancel);
  checked.set_value();
  writer.join();
  ::signal(SIGPIPE, previous);
  EXPECT_EQ(result, DigestCheck::Cancelled);
}

}  // namespace
