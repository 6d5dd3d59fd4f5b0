#pragma once
// The size-on-disk cases of both systems' tests: each builds a tree below a
// root (and beside it), and the size measured must be the allocated blocks
// of exactly the files named.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <platform/disk_space.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace disk_size_test {

namespace fs = std::filesystem;

inline void WriteBytes(const fs::path& file, std::size_t count) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  const std::string chunk(4096, 'x');
  for (std::size_t done = 0; done < count; done += chunk.size()) {
    out.write(chunk.data(), static_cast<std::streamsize>(std::min(chunk.size(), count - done)));
  }
}

inline std::uint64_t Allocated(const fs::path& file) { return AllocatedBytes(file); }

struct SizeCase {
  const char* name;
  // Builds below root (and outside, a folder beside it); returns the path
  // measured.
  std::function<fs::path(const fs::path& root, const fs::path& outside)> build;
  std::vector<std::string> counted;  // files below root whose blocks count
};

inline void ExpectSizes(const std::vector<SizeCase>& cases) {
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempHome home;
    const fs::path root = home.root() / "measured";
    const fs::path outside = home.root() / "outside";
    fs::create_directories(root);
    fs::create_directories(outside);
    const fs::path measured = c.build(root, outside);
    std::uint64_t expected = 0;
    for (const std::string& file : c.counted) expected += Allocated(root / file);
    if (!c.counted.empty()) {
      EXPECT_GT(expected, 0u);
    }
    EXPECT_EQ(platform::SizeOnDisk(platform::WidePath(measured)), expected);
  }
}

}  // namespace disk_size_test
