// Every way the installation's first half ends without a package: the window
// returns to the install image without a box, names the cause in the line
// under it, and the vendor hears only what happened. Then the stop button,
// a step that throws, and the model list's own failures.
#include <tests/integration/install_workflow_fixture.h>
#include <tests/support/gate.h>

namespace {

using namespace workflow;
namespace fs = std::filesystem;

enum class Arrange {
  ConfigUnreachable,
  ConfigError,
  ConfigNotJson,
  ConfigWithoutPackage,
  PackageMissing,
  DownloadBreaksOff,
  DigestMismatch,
  PackageWithoutInstaller,
  PackageStepThrows,
  PullStepThrows,
};

struct FailurePath {
  const char* name;
  Arrange arrange;
  std::wstring cause;  // words the line under the install image holds
  std::vector<std::string> events;
  bool archiveKept;
  bool unpacked = false;  // a failed unpack leaves the folder as it was
};

class FailurePaths : public InstallWorkflow, public ::testing::WithParamInterface<FailurePath> {
 protected:
  void Arrange(Arrange what) {
    CServiceState& state = GetServiceState();
    switch (what) {
      case Arrange::ConfigUnreachable:
        state.packageUrl.clear();
        GetAppConstants().remoteConfigUrl = "http://127.0.0.1:1/api/dpsk/config";
        break;
      case Arrange::ConfigError:
      case Arrange::ConfigNotJson:
      case Arrange::ConfigWithoutPackage: {
        state.packageUrl.clear();
        std::lock_guard lock(mutex_);
        configMode_ = what == Arrange::ConfigError     ? "500"
                      : what == Arrange::ConfigNotJson ? "html"
                                                       : "empty";
        break;
      }
      case Arrange::PackageMissing:
        state.packageUrl = server_.Url("/missing.zip");
        break;
      case Arrange::DownloadBreaksOff: {
        std::lock_guard lock(mutex_);
        packageMode_ = "break";
        break;
      }
      case Arrange::DigestMismatch:
        state.packageSha256 = std::string(64, '0');
        break;
      case Arrange::PackageWithoutInstaller:
        SetPackage(true, false);
        break;
      case Arrange::PackageStepThrows:
      case Arrange::PullStepThrows: {
        const std::string step = what == Arrange::PackageStepThrows ? "package" : "pull";
        harness_->OnUI([this, step] {
          harness_->engine().stepHookForTesting = [step](const char* name) {
            if (name == step) throw std::runtime_error("injected");
          };
        });
        break;
      }
    }
  }
};

TEST_P(FailurePaths, ReturnToTheInstallImageNamingTheCause) {
  const FailurePath& path = GetParam();
  Arrange(path.arrange);
  Click();
  ASSERT_TRUE(harness_->WaitUntil([](RecordingView& v) {
    return v.Stage() == InstallStage::Idle && !v.OverlayShown() && !v.state.cause.empty();
  })) << Describe();
  harness_->OnUI([&] {
    RecordingView& v = harness_->view();
    EXPECT_NE(v.state.cause.find(path.cause), std::wstring::npos)
        << Narrow(v.state.cause);
    EXPECT_TRUE(v.messages.empty());  // the return stays silent: no box
    EXPECT_NE(v.state.overlay.shown, ProgressOverlay::Package);  // nor its timer
    EXPECT_TRUE(v.state.installPull.line.empty());
  });
  EXPECT_EQ(Events(), path.events);
  EXPECT_EQ(fs::exists(Archive()), path.archiveKept);
  EXPECT_EQ(fs::exists(install_ / "deepseek"), path.unpacked);

  // The line stays until the next click, which clears it.
  harness_->OnUI([this] {
    harness_->engine().stepHookForTesting = nullptr;
    harness_->view().installFolder = L"relative";  // refused at once
    harness_->ClickInstall();
    EXPECT_TRUE(harness_->view().state.cause.empty());
  });
}

const std::vector<std::string> kClickOnly = {"clickInstallPackDeepseek"};
const std::vector<std::string> kNoUrl = {"clickInstallPackDeepseek", "noUrlDeepseek"};

INSTANTIATE_TEST_SUITE_P(
    Package, FailurePaths,
    ::testing::Values(FailurePath{"ConfigUnreachable", Arrange::ConfigUnreachable,
                                  L"连接不上服务器", kNoUrl, false},
                      FailurePath{"ConfigError", Arrange::ConfigError,
                                  L"服务器暂时出错（错误 500）", kNoUrl, false},
                      FailurePath{"ConfigNotJson", Arrange::ConfigNotJson,
                                  L"服务器返回的内容无法识别", kNoUrl, false},
                      FailurePath{"ConfigWithoutPackage", Arrange::ConfigWithoutPackage,
                                  L"服务器没有提供安装包", kNoUrl, false},
                      FailurePath{"PackageMissing", Arrange::PackageMissing,
                                  L"服务器没有给出安装包", kClickOnly, false},
                      FailurePath{"DownloadBreaksOff", Arrange::DownloadBreaksOff,
                                  L"安装包下载中断（已下载", kClickOnly, false},
                      FailurePath{"DigestMismatch", Arrange::DigestMismatch, L"安装包已损坏",
                                  kClickOnly, false},
                      FailurePath{"PackageWithoutInstaller", Arrange::PackageWithoutInstaller,
                                  L"安装包已损坏", kClickOnly, false, true},
                      FailurePath{"PackageStepThrows", Arrange::PackageStepThrows, L"程序出错",
                                  kClickOnly, false},
                      FailurePath{"PullStepThrows",
                                  Arrange::PullStepThrows,
                                  L"程序出错",
                                  {"clickInstallPackDeepseek", "InstallOllamaStartDeepseek",
                                   "InstallOllamaEndDeepseek", "DownModelStartDeepseek"},
                                  true,
                                  true}),
    [](const ::testing::TestParamInfo<FailurePath>& row) { return row.param.name; });

// A configuration that failed at start-up is asked for again on the install
// click, with the waiting overlay, and the installation goes on with it.
TEST_F(InstallWorkflow, FailedConfigurationIsAskedForAgainOnTheClick) {
  GetServiceState().packageUrl.clear();
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  std::lock_guard lock(mutex_);
  EXPECT_EQ(configRequests_, 1);
}

// The customer-service click asks again for a configuration that brought no
// address, and names the cause when it fails again.
TEST_F(InstallWorkflow, CustomerServiceAsksAgainAndNamesTheCause) {
  GetServiceState().serviceUrl.clear();
  {
    std::lock_guard lock(mutex_);
    configMode_ = "500";
  }
  harness_->OnUI([this] {
    harness_->engine().OnCustomerServiceClick();
    EXPECT_EQ(harness_->view().state.overlay.shown, ProgressOverlay::WaitingForService);
  });
  ASSERT_TRUE(harness_->WaitUntil(
      [](RecordingView& v) { return !v.OverlayShown() && !v.state.cause.empty(); }));
  harness_->OnUI([this] {
    EXPECT_NE(harness_->view().state.cause.find(L"服务器暂时出错（错误 500）"),
              std::wstring::npos);
  });
  std::lock_guard lock(mutex_);
  EXPECT_EQ(configRequests_, 1);
}

// Closing the overlay stops the installation in whatever step it is, not
// only while bytes arrive: here before a kept archive is checked. The next
// click starts afresh with the archive kept.
TEST_F(InstallWorkflow, ClosingTheOverlayStopsEveryStep) {
  fs::create_directories(Archive().parent_path());
  {
    std::lock_guard lock(mutex_);
    std::ofstream(Archive(), std::ios::binary) << package_;
  }
  Gate held;
  Gate released;
  std::atomic<int> calls{0};
  harness_->OnUI([&] {
    harness_->engine().stepHookForTesting = [&, held, released](const char* name) mutable {
      if (std::string(name) != "package" || calls++ != 0) return;
      held.Open();
      released.Wait();
    };
  });
  Click();
  ASSERT_TRUE(held.WaitFor(std::chrono::seconds(10)));
  harness_->OnUI([this] {
    harness_->engine().OnOverlayClose();
    EXPECT_FALSE(harness_->view().OverlayShown());
  });
  released.Open();
  ASSERT_TRUE(harness_->WaitUntil([](RecordingView& v) { return !v.state.cause.empty(); }));
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_NE(v.state.cause.find(L"已取消安装"), std::wstring::npos);
    EXPECT_EQ(v.Stage(), InstallStage::Idle);
  });
  EXPECT_TRUE(fs::exists(Archive()));               // nothing wrong with it
  EXPECT_FALSE(fs::exists(install_ / "deepseek"));  // and nothing unpacked
  EXPECT_EQ(packageRequests_.load(), 0);

  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(packageRequests_.load(), 0);  // the kept archive served
}

// The model list: a row that fails says why in its own line; one that cannot
// fit the disk or the memory asks first; a row whose task throws comes back.
TEST_F(InstallWorkflow, ModelListRowsNameTheirOwnFailures) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  harness_->OnUI([this] { harness_->engine().OnModelRowDownloadClick(4); });  // not served
  ASSERT_TRUE(harness_->WaitUntil([](RecordingView& v) { return !v.Row(4).cause.empty(); }));
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_EQ(v.Row(4).cause.rfind(L"下载失败（", 0), 0u) << Narrow(v.Row(4).cause);
    EXPECT_FALSE(v.Row(4).pulling);
    EXPECT_TRUE(v.messages.empty());
  });
  EXPECT_EQ(Events().back(), "modelDownFailsDeepseek");

  harness_->OnUI([this] {
    harness_->engine().stepHookForTesting = [](const char* name) {
      if (std::string(name) == "list pull") throw std::bad_alloc();
    };
    harness_->engine().OnModelRowDownloadClick(2);
    EXPECT_TRUE(harness_->view().Row(2).cause.empty());  // the click cleared it
  });
  ASSERT_TRUE(harness_->WaitUntil(
      [](RecordingView& v) { return !v.Row(2).cause.empty() && !v.Row(2).pulling; }));

  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    harness_->engine().stepHookForTesting = nullptr;
    v.answerContinue = false;
    harness_->engine().OnModelRowDownloadClick(7);  // 671b: 404 GB, 32 GB of memory
    if (v.questions.empty()) return;                // a machine that holds it
    EXPECT_EQ(v.questions.back().rfind(L"提示|", 0), 0u);
    EXPECT_FALSE(v.Row(7).pulling);
  });
}

}  // namespace
