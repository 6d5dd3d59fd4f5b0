// Size on disk of a file or folder: allocated blocks of what lies below,
// never what links point at.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <platform/disk_space.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/unit/platform/disk_size_cases.h>

namespace {

namespace fs = std::filesystem;
using namespace disk_size_test;


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
  ExpectSizes(cases);
}

}  // namespace
