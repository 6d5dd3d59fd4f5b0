// Size on disk of a file or folder: allocated blocks of what lies below,
// never what links point at.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include <platform/disk_space.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/unit/platform/disk_size_cases.h>

namespace {

namespace fs = std::filesystem;
using namespace disk_size_test;


TEST(SizeOnDisk, CountsRegularFilesBelowOnce) {
  const std::vector<SizeCase> cases = {
      {"nested files",
       [](const fs::path& root, const fs::path&) {
         WriteBytes(root / "a", 10000);
         WriteBytes(root / "d" / "b", 70000);
         WriteBytes(root / "d" / "e" / "f" / "c", 1);
         fs::create_directories(root / "empty");
         return root;
       },
       {"a", "d/b", "d/e/f/c"}},
      {"a file with two names",
       [](const fs::path& root, const fs::path&) {
         WriteBytes(root / "a", 300000);
         fs::create_directories(root / "d");
         fs::create_hard_link(root / "a", root / "d" / "again");
         return root;
       },
       {"a"}},
      {"one file",
       [](const fs::path& root, const fs::path&) {
         WriteBytes(root / "a", 9000);
         return root / "a";
       },
       {"a"}},
      {"missing", [](const fs::path& root, const fs::path&) { return root / "none"; }, {}},
  };
  ExpectSizes(cases);
}

// Files appear and vanish while the folder is walked: what stays is always
// counted, and the walk never fails.
TEST(SizeOnDisk, FilesVanishingMeanwhileAreTolerated) {
  TempHome home;
  const fs::path root = home.root() / "measured";
  WriteBytes(root / "stays" / "a", 50000);
  WriteBytes(root / "b", 20000);
  const std::uint64_t stable = Allocated(root / "stays" / "a") + Allocated(root / "b");
  constexpr std::size_t kChurnBytes = 64 * 1024;
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    for (int i = 0; !stop; ++i) {
      const fs::path file = root / "stays" / ("churn-" + std::to_string(i % 4));
      const fs::path folder = root / ("folder-" + std::to_string(i % 4));
      WriteBytes(file, kChurnBytes);
      WriteBytes(folder / "x", kChurnBytes);
      std::error_code ec;
      fs::remove(file, ec);
      fs::remove_all(folder, ec);
    }
  });
  for (int i = 0; i < 300; ++i) {
    const std::uint64_t size = platform::SizeOnDisk(platform::WidePath(root));
    EXPECT_GE(size, stable);
    // At most one file and one folder of the churn exist at any moment (a
    // file system may allocate ahead of a file being written: wide margin).
    EXPECT_LE(size, stable + 32 * kChurnBytes);
  }
  stop = true;
  churn.join();
}

}  // namespace
