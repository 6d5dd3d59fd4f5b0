// The default install folder on Windows: "AlTidewell" at the root of the
// system drive, as SystemDrive names it, or of the drive Windows is on.
#include <gtest/gtest.h>

#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <tests/support/variables.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

TEST(InstallFolderOnWindows, TheSystemDrivesRootHoldsIt) {
  const char* was = std::getenv("SystemDrive");
  const std::optional<std::string> saved = was ? std::optional<std::string>(was) : std::nullopt;
  struct Case {
    const char* value;
    std::wstring folder;  // empty: the drive Windows is on
  };
  const std::vector<Case> cases = {
      {"D:", L"D:\\AlTidewell"},
      {"e:", L"e:\\AlTidewell"},
      {"D:\\", L""},
      {"relative", L""},
      {"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    SetVariable("SystemDrive", c.value);
    const std::wstring folder = DefaultInstallFolder();
    if (!c.folder.empty()) {
      EXPECT_EQ(folder, c.folder);
    } else {
      ASSERT_EQ(folder.size(), 13u);
      EXPECT_EQ(folder.substr(1), L":\\AlTidewell");
      EXPECT_TRUE(platform::OsPath(folder).is_absolute());
    }
  }
  if (saved) {
    SetVariable("SystemDrive", saved->c_str());
  } else {
    UnsetVariable("SystemDrive");
  }
}

}  // namespace
