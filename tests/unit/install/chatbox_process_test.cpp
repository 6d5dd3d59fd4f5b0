// The client as a program, on every system: an AppImage is told by its
// mark, and the program is found in our folder first, then where the
// client's own uninstall entry says its setup put it.
#include <gtest/gtest.h>

#include <config/reg_key.h>
#include <install/chatbox_install_location.h>
#include <install/chatbox_process.h>
#include <install/install_layout.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>
#include <service/service_state.h>
#include <tests/support/temp_home.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ChatboxProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    layout_ = MakeInstallLayout(platform::WidePath(home_.root() / "install"));
  }

  // As the client's setup leaves its uninstall entry.
  static void SetInstallLocation(const std::wstring& location) {
    RegKey key(platform::kCurrentUser, kChatboxUninstallKeyPath);
    key.SetStringValue(L"InstallLocation", location);
  }

  TempHome home_;
  InstallLayout layout_;
};

TEST_F(ChatboxProgram, AppImagesAreToldByTheirMark) {
  const fs::path file = home_.root() / "probe";
  struct Case {
    const char* name;
    std::string bytes;
    bool appImage;
  };
  const std::vector<Case> cases = {
      {"marked ELF",
       std::string("\x7f"
                   "ELF\x02\x01\x01\0AI\x02\0\0\0\0\0",
                   16),
       true},
      {"plain ELF",
       std::string("\x7f"
                   "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                   16),
       false},
      {"type 1 mark",
       std::string("\x7f"
                   "ELF\x02\x01\x01\0AI\x01\0\0\0\0\0",
                   16),
       false},
      {"mark without ELF", std::string("#!/bin/sh\0AI\x02\n", 14), false},
      {"too short",
       std::string("\x7f"
                   "ELF\x02\x01\x01\0AI",
                   10),
       false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << c.bytes;
    EXPECT_EQ(IsAppImage(platform::WidePath(file)), c.appImage);
  }
  EXPECT_FALSE(IsAppImage(platform::WidePath(home_.root() / "missing")));
}

TEST_F(ChatboxProgram, TheUninstallEntrySaysWhereTheClientWent) {
  EXPECT_EQ(ChatboxInstallLocation(), L"");  // no entry: nothing is made up
  EXPECT_EQ(ChatboxProgramAtInstallLocation(), L"");

  const std::wstring elsewhere = platform::WidePath(home_.root() / "Programs" / "Chatbox");
  const std::wstring sep(1, platform::PathSeparator());
  struct Case {
    const char* name;
    std::wstring value;
    std::wstring location;
  };
  const std::vector<Case> cases = {
      {"a folder", elsewhere, elsewhere},
      {"a trailing separator", elsewhere + sep, elsewhere},
      {"trailing separators", elsewhere + sep + sep, elsewhere},
      {"empty", L"", L""},
      {"relative", L"Programs" + sep + L"Chatbox", L""},
      {"a line break", elsewhere + L"\n", L""},
      {"a control character", elsewhere + L"\x01x", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetInstallLocation(c.value);
    EXPECT_EQ(ChatboxInstallLocation(), c.location);
    EXPECT_EQ(ChatboxProgramAtInstallLocation(),
              c.location.empty() ? L""
                                 : c.location + sep + L"Chatbox" + platform::ExecutableSuffix());
  }
}

TEST_F(ChatboxProgram, OurFolderComesFirstThenTheUninstallEntry) {
  const fs::path elsewhere = home_.root() / "Programs" / "Chatbox";
  fs::create_directories(elsewhere);
  const fs::path theirs =
      elsewhere / platform::OsPath(L"Chatbox" + platform::ExecutableSuffix());
  SetInstallLocation(platform::WidePath(elsewhere));

  // Named, but nothing is there: our own place is the answer.
  EXPECT_EQ(ChatboxProgramPath(layout_), layout_.chatboxExecutable);

  std::ofstream(theirs) << "x";
  EXPECT_EQ(ChatboxProgramPath(layout_), platform::WidePath(theirs));

  fs::create_directories(platform::OsPath(layout_.chatboxFolder));
  std::ofstream(platform::OsPath(layout_.chatboxExecutable)) << "x";
  EXPECT_EQ(ChatboxProgramPath(layout_), layout_.chatboxExecutable);
}

}  // namespace
