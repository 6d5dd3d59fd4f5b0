// The workflow's cases that need POSIX owners and modes.
#include <tests/integration/install_workflow_fixture.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
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
  // A folder that cannot be made says so; one that is there but unusable
  // says why it is refused.
  const std::wstring noFolder = L"安装失败|DeepSeek安装不存在，不能安装!";
  const std::wstring unusable =
      L"安装失败|安装位置不可用：请选择一个以完整路径写出、属于您自己且其他用户不能写入的文件夹。";
  const struct {
    std::wstring folder;
    std::wstring message;
  } cases[] = {{L"/proc/no/such/folder", noFolder},
               {L"relative/folder", unusable},
               {L"", unusable},
               {platform::WidePath(theirs), unusable},
               {platform::WidePath(open), unusable}};
  std::vector<std::wstring> expected;
  for (const auto& c : cases) {
    harness_->OnUI([&] { harness_->view().installFolder = c.folder; });
    Click();
    EXPECT_EQ(harness_->OnUI([this] { return harness_->view().Stage(); }), InstallStage::Idle);
    expected.push_back(c.message);
  }
  EXPECT_EQ(Messages(), expected);
  EXPECT_EQ(Events(), std::vector<std::string>(std::size(cases), "clickInstallPackDeepseek"));
  EXPECT_EQ(packageRequests_.load(), 0);
  EXPECT_FALSE(fs::exists("relative"));
}


// A port another program has bound without listening on it looks free, and
// our server, started there, ends at once: the next try is on another port
// instead of the same one again.
TEST_F(InstallWorkflow, APortBoundButNotListeningSendsOurServerElsewhere) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  StopStartedRunnerServer();
  const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string bound = std::to_string(ntohs(address.sin_port));
  ASSERT_TRUE(WriteProductValue(L"OllamaPort", platform::Utf8ToWide(bound)));
  EXPECT_EQ(EnsureRunnerServer(CurrentInstallLayout(), {}, 30000), RunnerServerState::Ready);
  EXPECT_NE(RunnerServerAddress(), "http://127.0.0.1:" + bound);
  EXPECT_TRUE(RunnerAnswers(RunnerServerAddress(), 2000));
  ::close(holder);
}

}  // namespace
