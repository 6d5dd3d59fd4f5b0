// Where the stack goes by default, and that its parts are joined once.
#include <gtest/gtest.h>

#include <install/install_layout.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

#include <string>

namespace {

TEST(InstallLayout, TheDefaultFolderIsAlTidewellInThePlatformsParent) {
  TempHome home;
  const std::wstring sep(1, platform::PathSeparator());
  const std::wstring folder = DefaultInstallFolder();
  std::wstring parent = platform::DefaultProgramParent();
  if (parent.back() != platform::PathSeparator()) parent += sep;
  EXPECT_EQ(folder, parent + L"AlTidewell");
  EXPECT_EQ(folder.find(sep + sep), std::wstring::npos);
  EXPECT_TRUE(platform::OsPath(folder).is_absolute());

  const InstallLayout layout = MakeInstallLayout(folder);
  EXPECT_EQ(layout.ollamaFolder, folder + sep + L"ollama_location");
  EXPECT_EQ(layout.modelStore, folder + sep + L"ollama_models");
  EXPECT_EQ(layout.chatboxFolder, folder + sep + L"chatbox_location");
}

}  // namespace
