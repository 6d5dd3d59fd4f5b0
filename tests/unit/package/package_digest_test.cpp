// The package's digest check.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include <package/package_digest.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

// SHA-256 of "abc".
constexpr char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(PackageDigest, EachOutcomeOfTheCheck) {
  TempHome home;
  const fs::path archive = home.root() / fs::path(u8"安装 包.zip");
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

}  // namespace
