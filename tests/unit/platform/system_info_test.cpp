#include <gtest/gtest.h>

#include <platform/os_info.h>

namespace {

TEST(OsInfo, WindowsVersionTable) {
  struct Row {
    unsigned major, minor;
    const char* name;
  };
  const Row rows[] = {
      {5, 0, "Windows2000"},   {5, 1, "WindowsXP"}, {5, 2, "Windows2003"},
      {6, 0, "windowsvista"},  {6, 1, "windows7"},  {6, 2, "windows10"},
      {6, 3, "windows10"},     {10, 0, "windows10"}, {4, 0, "windows10"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::OsNameForWindowsVersion(row.major, row.minor), row.name)
        << row.major << "." << row.minor;
  }
}

TEST(OsInfo, MemoryIsKnown) { EXPECT_GT(platform::TotalMemoryBytes(), 0u); }

}  // namespace
