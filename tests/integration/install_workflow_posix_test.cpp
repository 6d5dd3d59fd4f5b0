// The workflow's cases that need POSIX owners and modes.
#include <tests/integration/install_workflow_fixture.h>

#include <unistd.h>

namespace {

using namespace workflow;
namespace fs = std::filesystem;

TEST_F(InstallWorkflow, UnusableFolderShowsTheMessageAndStartsNothing) {
  // Programs run from the install folder: another user's, or one anybody
  // may write to, is no better than a missing one.
  const fs::path theirs = home_.root() / "theirs";
  fs::create_directory(theirs);
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0) << "the tests run as root";
  const fs::path open = home_.root() / "open";
  fs::create_directory(open);
  fs::permissions(open, fs::perms::all, fs::perm_options::replace);
  const std::vector<std::wstring> folders = {L"/proc/no/such/folder", L"relative/folder", L"",
                                             platform::WidePath(theirs), platform::WidePath(open)};
  for (const std::wstring& folder : folders) {
    harness_->OnUI([&] { harness_->view().texts["InstPath"] = folder; });
    Click();
    EXPECT_EQ(harness_->OnUI([this] { return harness_->view().Stage(); }), "imgNoDownDeekSeek");
  }
  EXPECT_EQ(Messages(),
            std::vector<std::wstring>(folders.size(), L"安装失败|DeepSeek安装不存在，不能安装!"));
  EXPECT_EQ(Events(), std::vector<std::string>(folders.size(), "clickInstallPackDeepseek"));
  EXPECT_EQ(packageRequests_.load(), 0);
  EXPECT_FALSE(fs::exists("relative"));
}

}  // namespace
