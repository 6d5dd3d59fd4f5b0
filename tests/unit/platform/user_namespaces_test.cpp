#include <gtest/gtest.h>
#include <unistd.h>

#include <platform/posix/process_lookup_posix.h>
#include <platform/user_namespaces.h>
#include <tests/support/temp_home.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(UserNamespaces, AnySwitchThatRefusesThemIsNamed) {
  struct Case {
    std::map<std::string, std::string> switches;
    std::string restriction;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{{"kernel/unprivileged_userns_clone", "1"}, {"user/max_user_namespaces", "63511"}}, ""},
      {{{"kernel/apparmor_restrict_unprivileged_userns", "0"}}, ""},
      {{{"kernel/unprivileged_userns_clone", "0"}}, "kernel/unprivileged_userns_clone is 0"},
      {{{"user/max_user_namespaces", "0\n"}}, "user/max_user_namespaces is 0"},
      {{{"kernel/apparmor_restrict_unprivileged_userns", "1\n"}},
       "kernel/apparmor_restrict_unprivileged_userns is 1"},
      {{{"user/max_user_namespaces", "10"}, {"kernel/apparmor_restrict_unprivileged_userns", "1"}},
       "kernel/apparmor_restrict_unprivileged_userns is 1"},
  };
  for (const Case& c : cases) {
    TempHome home;
    const fs::path sys = home.root() / "sys";
    for (const auto& [file, value] : c.switches) {
      fs::create_directories((sys / file).parent_path());
      std::ofstream(sys / file) << value;
    }
    EXPECT_EQ(platform::UserNamespaceRestrictionIn(sys), c.restriction);
  }
}

void FakeProcess(const fs::path& proc, const std::string& pid, const std::string& exe) {
  fs::create_directories(proc / pid);
  if (!exe.empty()) fs::create_symlink(exe, proc / pid / "exe");
}

TEST(ProcessLookup, ProcessesFromInsideAFolderByProgramFileNotName) {
  TempHome home;
  const fs::path proc = home.root() / "proc";
  FakeProcess(proc, "10", "/home/u/AlTidewell/chatbox_location/Chatbox");
  FakeProcess(proc, "11", "/home/u/AlTidewell/chatbox_location/app/chatbox (deleted)");
  FakeProcess(proc, "12", "/home/u/AlTidewell/chatbox_location2/Chatbox");
  FakeProcess(proc, "13", "/usr/bin/Chatbox");
  FakeProcess(proc, "14", "/home/u/AlTidewell/chatbox_location");  // the folder itself
  FakeProcess(proc, "15", "");                                     // ended: no program file
  FakeProcess(proc, "16x", "/home/u/AlTidewell/chatbox_location/Chatbox");
  const uid_t me = ::getuid();
  const fs::path folder = "/home/u/AlTidewell/chatbox_location";
  std::vector<long> found = platform::posix::FindProcessesInFolderIn(proc, me, folder);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<long>{10, 11}));
  EXPECT_TRUE(platform::posix::FindProcessesInFolderIn(proc, me + 1, folder).empty());
  EXPECT_TRUE(platform::posix::FindProcessesInFolderIn(proc, me, "").empty());
  EXPECT_TRUE(platform::posix::FindProcessesInFolderIn(proc, me, "relative").empty());
}

}  // namespace
