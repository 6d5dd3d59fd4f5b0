// Size on disk of a file or folder: allocated blocks of what lies below,
// never what links point at.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <platform/disk_space.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& file, std::size_t count) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary);
  const std::string chunk(4096, 'x');
  for (std::size_t done = 0; done < count; done += chunk.size()) {
    out.write(chunk.data(), static_cast<std::streamsize>(std::min(chunk.size(), count - done)));
  }
}

std::uint64_t Allocated(const fs::path& file) { return AllocatedBytes(file); }

struct SizeCase {
  const char* name;
  // Builds below root (and outside, a folder beside it); returns the path
  // measured.
  std::function<fs::path(const fs::path& root, const fs::path& outside)> build;
  std::vector<std::string> counted;  // files below root whose blocks count
};

TEST(SizeOnDisk, NeverFollowsLinks) {
  const std::vector<SizeCase> cases = {
      {"a link to a big file outside",
       [](const fs::path& root, const fs::path& outside) {
         WriteBytes(root / "a", 5000);
         WriteBytes(outside / "big", 4 * 1024 * 1024);
         fs::create_symlink(outside / "big", root / "big");
         return root;
       },
       {"a"}},
      {"a link to a folder outside",
       [](const fs::path& root, const fs::path& outside) {
         WriteBytes(root / "a", 5000);
         WriteBytes(outside / "inner" / "big", 1024 * 1024);
         fs::create_directory_symlink(outside / "inner", root / "inner");
         return root;
       },
       {"a"}},
      {"the path itself a link",
       [](const fs::path& root, const fs::path& outside) {
         WriteBytes(outside / "big", 1024 * 1024);
         fs::create_directories(root);
         fs::create_directory_symlink(outside, root / "top");
         return root / "top";
       },
       {}},
  };
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

}  // namespace
