// The installation engine through its whole road and every failure row,
// with script stand-ins for the setups and the runner, and a local vendor.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>

#include <config/app_constants.h>
#include <config/json_text.h>
#include <config/reg_key.h>
#include <install/install_layout.h>
#include <package/file_downloader.h>
#include <package/package_digest.h>
#include <platform/os_encoding.h>
#include <platform/user_environment.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <tests/support/engine_harness.h>
#include <tests/support/temp_home.h>
#include <tests/support/test_server.h>
#include <tests/support/zip_builder.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string RunnerScript(const fs::path& store) {
  return "store='" + store.string() + "'\n" + R"SH(case "$1" in
  help) printf 'Large language model runner\n\nUsage:\n  ollama [command]\n' ;;
  list) printf 'NAME                ID              SIZE      MODIFIED\n'
        for f in "$store"/*.model; do [ -e "$f" ] || continue
          printf '%s    0a8c26691023    1.1 GB    2 minutes ago\n' "$(basename "$f" .model)"; done ;;
  pull) printf 'pulling manifest\n' >&2
        if [ "$FAKE_PULL_MODE" = fail ]; then
          printf '\rpulling 96c415656d37:  20%% ▕███      ▏ 0.2 GB/1.1 GB   20 MB/s   45s' >&2
          printf '\nError: max retries exceeded: unexpected EOF\n' >&2; exit 1; fi
        printf '\033[1Gpulling 96c415656d37:  50%% ▕████    ▏ 0.5 GB/1.1 GB   20 MB/s   30s\033[K' >&2
        sleep 0.3
        printf '\rpulling 96c415656d37: 100%% ▕████████▏ 1.1 GB                     \n' >&2
        printf 'verifying sha256 digest\nwriting manifest\nsuccess\n' >&2
        name="$2"; [ "$FAKE_PULL_MODE" = other ] && name=deepseek-r1:8b
        mkdir -p "$store"; : > "$store/$name.model" ;;
  *) exit 2 ;;
esac
)SH";
}

ZipBuildEntry Executable(const std::string& name, const std::string& body) {
  ZipBuildEntry entry = FileEntry(name, "#!/bin/sh\n" + body);
  entry.externalAttributes = 0100755u << 16;
  return entry;
}

class InstallWorkflow : public ::testing::Test {
 protected:
  InstallWorkflow() {
    AppConstants& constants = GetAppConstants();
    saved_ = constants;
    constants.deviceId = "ab12";
    constants.channel = "ch01";
    constants.clientVersion = "1.0.0.1";
    constants.osName = "linux";
    install_ = home_.root() / "安装 目录";
    runner_ =
        WriteScript(home_.root() / "src" / "ollama", RunnerScript(install_ / "ollama_models"));

    server_.server().Get("/package/deepseek.zip",
                         [this](const httplib::Request&, httplib::Response& res) {
                           ++packageRequests_;
                           std::lock_guard lock(mutex_);
                           res.set_content(package_, "application/zip");
                         });
    server_.server().Get("/", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("Ollama is running", "text/plain");  // the runner's server
    });
    server_.server().Get(R"(/dpsk/log/log/([^/]+)/.*)",
                         [this](const httplib::Request& req, httplib::Response& res) {
                           std::lock_guard lock(mutex_);
                           events_.push_back(req.matches[1].str());
                           res.set_content("{}", "application/json");
                         });
    server_.Start();
    constants.eventLogUrl = server_.Url("/dpsk/log/log");
    ::setenv("OLLAMA_HOST", ("127.0.0.1:" + std::to_string(server_.port())).c_str(), 1);
    ::setenv("FAKE_PULL_MODE", "ok", 1);
    // Downloads of parallel test processes must never meet in a shared folder.
    fs::create_directories(home_.root() / "tmp");
    ::setenv("TMPDIR", (home_.root() / "tmp").c_str(), 1);
    platform::SetEnvironmentBroadcastForTesting([](std::wstring_view, std::wstring_view) {});

    CServiceState& state = GetServiceState();
    state = CServiceState();
    state.workFolder = platform::WidePath(home_.data() / "Tidewell") + L"/";
    fs::create_directories(home_.data() / "Tidewell");
    state.installFolder.clear();
    state.rememberedModelIndex.clear();
    state.packageUrl = server_.Url("/package/deepseek.zip");
    SetPackage(true, true);
    harness_ = std::make_unique<EngineHarness>();
    harness_->OnUI([this] {
      harness_->view().texts["InstPath"] = platform::WidePath(install_);
      harness_->engine().pullOptions.publishEveryMs = 0;
      harness_->engine().OnRemoteConfigReady();
    });
  }
  ~InstallWorkflow() override {
    harness_.reset();
    GetEventReporter().WaitIdle();
    GetAppConstants() = saved_;
    ::unsetenv("OLLAMA_HOST");
    ::unsetenv("FAKE_PULL_MODE");
    ::unsetenv("TMPDIR");
    ::unsetenv("OLLAMA_MODELS");
  }

  void SetPackage(bool withRunnerSetup, bool withClientSetup, bool setupInstallsRunner = true) {
    std::vector<ZipBuildEntry> entries;
    if (withRunnerSetup) {
      entries.push_back(Executable(
          "deepseek/OllamaSetup",
          "for a in \"$@\"; do case \"$a\" in /dir=*) d=\"${a#/dir=}\";; esac; done\n" +
              std::string(setupInstallsRunner ? "cp '" + runner_.string() + "' \"$d/ollama\"\n"
                                              : "exit 1\n")));
    }
    if (withClientSetup) {
      const fs::path client = install_ / "chatbox_location";
      entries.push_back(Executable(
          "deepseek/Chatbox-1.9.8-Setup",
          "mkdir -p '" + client.string() + "'\nprintf '#!/bin/sh\\nexec sleep 600\\n' > '" +
              client.string() + "/Chatbox'\nchmod 755 '" + client.string() + "/Chatbox'\n"));
    }
    std::lock_guard lock(mutex_);
    package_ = BuildZip(entries);
  }

  std::vector<std::string> Events() {
    GetEventReporter().WaitIdle();
    std::lock_guard lock(mutex_);
    return events_;
  }

  void Click() {
    harness_->OnUI([this] { harness_->engine().OnInstallClick(); });
  }
  // What the view shows, for failure messages.
  std::string Describe() {
    return harness_->OnUI([this] {
      RecordingView& v = harness_->view();
      std::string text = "stage=" + v.Stage() + " page=" + std::to_string(v.pages["tab_pages2"]) +
                         " messages=" + std::to_string(v.messages.size());
      if (!v.pulls[0].empty()) {
        text += " pull phase=" + std::to_string(static_cast<int>(v.pulls[0].back().phase)) +
                " error=" + v.pulls[0].back().errorText;
      }
      return text;
    });
  }
  bool WaitForReadyPage() {
    const bool ready =
        harness_->WaitUntil([](RecordingView& v) { return v.pages["tab_pages2"] == 1; });
    if (!ready) ADD_FAILURE() << Describe();
    return ready;
  }
  bool WaitForStage(const std::string& stage) {
    return harness_->WaitUntil(
        [&](RecordingView& v) { return v.Stage() == stage && !v.overlayVisible; });
  }
  bool WaitForMessage() {
    return harness_->WaitUntil([](RecordingView& v) { return !v.messages.empty(); });
  }
  // The runner check's failure: one message, and the install image back.
  bool ShowsTheNetworkMessageAndReturnsToIdle() {
    if (!WaitForMessage()) return false;
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"提示|网络不畅，关闭软件后重新打开即可!"});
    return WaitForStage("imgNoDownDeekSeek");
  }
  std::vector<std::wstring> Messages() {
    return harness_->OnUI([this] { return harness_->view().messages; });
  }
  fs::path Archive() const { return platform::OsPath(PackageArchivePath()); }

  TempHome home_;
  AppConstants saved_;
  fs::path install_;
  fs::path runner_;
  TestServer server_;
  std::mutex mutex_;
  std::string package_;
  std::vector<std::string> events_;
  std::atomic<int> packageRequests_{0};
  std::unique_ptr<EngineHarness> harness_;
};

TEST_F(InstallWorkflow, WholeInstallationReachesTheReadyPage) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());

  EXPECT_EQ(Events(),
            (std::vector<std::string>{"clickInstallPackDeepseek", "InstallOllamaStartDeepseek",
                                      "InstallOllamaEndDeepseek", "DownModelStartDeepseek",
                                      "DownModelEndDeepseek", "modelDownSuccDeepseek"}));
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(install_));
  EXPECT_TRUE(fs::exists(platform::OsPath(layout.ollamaExecutable)));
  EXPECT_TRUE(fs::exists(platform::OsPath(layout.chatboxExecutable)));
  EXPECT_TRUE(fs::exists(install_ / "ollama_models" / "deepseek-r1:1.5b.model"));
  EXPECT_TRUE(fs::exists(Archive()));  // kept for the next run

  Json::Value settings;
  ASSERT_TRUE(ParseJson(ReadTextFile(platform::OsPath(ChatboxSettingsFile())), settings));
  EXPECT_EQ(settings["settings"]["ollamaModel"].asString(), "deepseek-r1:1.5b");
  RegKey product(platform::kCurrentUser, GetAppConstants().productKeyPath);
  EXPECT_EQ(product.GetStringValue(L"OllamaPath"), platform::WidePath(install_));
  RegKey setupKey(platform::kCurrentUser, L"SOFTWARE\\bd4f3b30-4f23-5853-b30a-61e20eb47251");
  EXPECT_EQ(setupKey.GetStringValue(L"InstallLocation"), layout.chatboxFolder);
  EXPECT_NE(ReadTextFile(home_.config() / "environment.d" / "tidewell.conf")
                .find("OLLAMA_MODELS=" + (install_ / "ollama_models").string()),
            std::string::npos);

  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_EQ(v.texts["modelstrTxt"], L"已下载 deepseek-r1:1.5b");
    EXPECT_FALSE(v.enabled["adked_btn1"]);
    EXPECT_TRUE(v.messages.empty());
    // The pull's progress reached the install stage, read from the runner.
    const auto& pulls = v.pulls[0];
    ASSERT_FALSE(pulls.empty());
    EXPECT_EQ(pulls.back().totalBytes, 1'100'000'000u);
    EXPECT_EQ(pulls.back().percent, 100);
    EXPECT_EQ(pulls.back().phase, PullPhase::Success);
    EXPECT_TRUE(pulls.back().finished);
  });
  EXPECT_EQ(GetServiceState().rememberedModelIndex, "1");
}

TEST_F(InstallWorkflow, SecondInstallReusesTheArchiveAndTheRunner) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  fs::remove(install_ / "ollama_models" / "deepseek-r1:1.5b.model");
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    v.pages["tab_pages2"] = 0;
    v.selectedModel = 1;
  });
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(packageRequests_.load(), 1);  // unpacked again from the kept archive
  EXPECT_TRUE(fs::exists(install_ / "ollama_models" / "deepseek-r1:7b.model")) << [this] {
    std::string names;
    for (const auto& e : fs::directory_iterator(install_ / "ollama_models"))
      names += e.path().filename().string() + " ";
    return names + Describe();
  }();
}

TEST_F(InstallWorkflow, AfterARestartTheDetectedModelIsTheOneTheClientGets) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  // A new start: nothing pulled in this run, the runner lists the model.
  harness_.reset();
  harness_ = std::make_unique<EngineHarness>();
  GetServiceState().rememberedModelIndex.clear();
  EXPECT_TRUE(harness_->OnUI([this] { return harness_->engine().DetectInstalledModel(); }));
  EXPECT_EQ(harness_->engine().modelTag(), "deepseek-r1:1.5b");
  harness_->OnUI([this] {
    EXPECT_EQ(harness_->view().texts["modelstrTxt"], L"已下载 deepseek-r1:1.5b");
    EXPECT_FALSE(harness_->view().enabled["adked_btn1"]);
  });
}

TEST_F(InstallWorkflow, NoPackageUrlReportsOnceAndReturnsToIdle) {
  GetServiceState().packageUrl.clear();
  Click();
  ASSERT_TRUE(WaitForStage("imgNoDownDeekSeek"));
  EXPECT_EQ(Events(), (std::vector<std::string>{"clickInstallPackDeepseek", "noUrlDeepseek"}));
  EXPECT_EQ(packageRequests_.load(), 0);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(InstallWorkflow, DownloadThatLeavesNoFileReturnsToIdle) {
  GetServiceState().packageUrl = server_.Url("/missing.zip");
  Click();
  ASSERT_TRUE(WaitForStage("imgNoDownDeekSeek"));
  EXPECT_FALSE(fs::exists(Archive()));
  EXPECT_FALSE(harness_->OnUI([this] { return harness_->view().timerRunning; }));
}

TEST_F(InstallWorkflow, PackageWithoutAnInstallerIsDeletedAndFetchedAgain) {
  SetPackage(true, false);
  Click();
  ASSERT_TRUE(WaitForStage("imgNoDownDeekSeek"));
  EXPECT_FALSE(fs::exists(Archive()));
  SetPackage(true, true);
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(packageRequests_.load(), 2);
}

TEST_F(InstallWorkflow, PackageNotMatchingTheAnnouncedDigestIsNeverUsed) {
  GetServiceState().packageSha256 = std::string(64, '0');
  Click();
  ASSERT_TRUE(WaitForStage("imgNoDownDeekSeek"));
  EXPECT_FALSE(fs::exists(Archive()));
  EXPECT_FALSE(fs::exists(install_ / "deepseek"));  // nothing was unpacked

  // A kept archive that no longer matches is fetched again.
  GetServiceState().packageSha256.clear();
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(packageRequests_.load(), 2);
  const fs::path copy = home_.root() / "package-copy.zip";
  std::ofstream(copy, std::ios::binary) << package_;
  GetServiceState().packageSha256 = FileSha256Hex(copy.string());
  std::ofstream(Archive(), std::ios::binary | std::ios::trunc) << "tampered";
  harness_->OnUI([this] { harness_->view().pages["tab_pages2"] = 0; });
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(packageRequests_.load(), 3);
  EXPECT_EQ(ReadTextFile(Archive()), package_);
}

TEST_F(InstallWorkflow, UnusableFolderShowsTheMessageAndStartsNothing) {
  for (const std::wstring& folder :
       {std::wstring(L"/proc/no/such/folder"), std::wstring(L"relative/folder"), std::wstring()}) {
    harness_->OnUI([&] { harness_->view().texts["InstPath"] = folder; });
    Click();
    EXPECT_EQ(harness_->OnUI([this] { return harness_->view().Stage(); }), "imgNoDownDeekSeek");
  }
  EXPECT_EQ(Messages(), std::vector<std::wstring>(3, L"安装失败|DeepSeek安装不存在，不能安装!"));
  EXPECT_EQ(Events(), std::vector<std::string>(3, "clickInstallPackDeepseek"));
  EXPECT_EQ(packageRequests_.load(), 0);
  EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(InstallWorkflow, RunnerMissingAfterSetupShowsTheNetworkMessage) {
  SetPackage(true, true, /*setupInstallsRunner=*/false);
  Click();
  ASSERT_TRUE(ShowsTheNetworkMessageAndReturnsToIdle());
  harness_->OnUI([this] {
    const auto& pulls = harness_->view().pulls[0];
    ASSERT_FALSE(pulls.empty());
    EXPECT_EQ(pulls.back().phase, PullPhase::Error);
    EXPECT_EQ(pulls.back().errorText, "runner not installed");
  });
}

TEST_F(InstallWorkflow, PullFailingMidwayShowsTheRunnersErrorAndReturns) {
  ::setenv("FAKE_PULL_MODE", "fail", 1);
  Click();
  ASSERT_TRUE(ShowsTheNetworkMessageAndReturnsToIdle());
  harness_->OnUI([this] {
    const auto& pulls = harness_->view().pulls[0];
    ASSERT_GE(pulls.size(), 2u);
    EXPECT_EQ(pulls.back().phase, PullPhase::Error);
    EXPECT_EQ(pulls.back().errorText, "max retries exceeded: unexpected EOF");
  });
  const std::vector<std::string> events = Events();
  EXPECT_EQ(events.back(), "DownModelEndDeepseek");  // the runner check sends nothing
}

TEST_F(InstallWorkflow, PulledModelMissingWhileOthersAreListedReturnsToIdle) {
  ::setenv("FAKE_PULL_MODE", "other", 1);
  Click();
  ASSERT_TRUE(ShowsTheNetworkMessageAndReturnsToIdle());
  EXPECT_EQ(harness_->OnUI([this] { return harness_->view().pages["tab_pages2"]; }), 0);
  EXPECT_EQ(Events().back(), "modelDownSuccDeepseek");  // some model, not this one
}

TEST_F(InstallWorkflow, ModelListRowsPullAtOnceAndEachReturnsItsOwnRow) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  harness_->OnUI([this] {
    harness_->engine().OnModelRowDownloadClick(2);
    harness_->engine().OnModelRowDownloadClick(3);
    EXPECT_TRUE(harness_->view().IsShown("winProgress2"));
    EXPECT_TRUE(harness_->view().IsShown("winProgress3"));
    EXPECT_FALSE(harness_->view().IsShown("adked_btn2"));
  });
  ASSERT_TRUE(harness_->WaitUntil([](RecordingView& v) {
    return v.IsShown("adked_btn2") && v.IsShown("adked_btn3") && !v.IsShown("winProgress2") &&
           !v.IsShown("winProgress3");
  }));
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_FALSE(v.enabled["adked_btn2"]);  // shown as downloaded
    EXPECT_FALSE(v.enabled["adked_btn3"]);
    EXPECT_EQ(v.pulls[2].back().phase, PullPhase::Success);
    EXPECT_EQ(v.pulls[3].back().phase, PullPhase::Success);
  });
  EXPECT_TRUE(fs::exists(install_ / "ollama_models" / "deepseek-r1:7b.model"));
  EXPECT_TRUE(fs::exists(install_ / "ollama_models" / "deepseek-r1:8b.model"));
}

TEST_F(InstallWorkflow, ProgressOverlayFollowsTheIntegerPercent) {
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    v.ShowOverlay(OverlayPage::Progress);
    v.timerRunning = true;
    downloadPercent = 99.9;
    harness_->engine().OnProgressTimer();
    EXPECT_EQ(v.values["prog_value"], 99);
    EXPECT_EQ(v.texts["progTxtValue"], L"(99 %)");
    EXPECT_TRUE(v.overlayVisible);
    downloadPercent = 100;
    harness_->engine().OnProgressTimer();
    EXPECT_EQ(v.texts["progTxtValue"], L"(100 %)");
    EXPECT_FALSE(v.overlayVisible);
    EXPECT_FALSE(v.timerRunning);
  });
}

TEST_F(InstallWorkflow, InstallWaitsForTheConfigurationThenGoesOn) {
  harness_.reset();
  harness_ = std::make_unique<EngineHarness>();
  harness_->OnUI([this] { harness_->view().texts["InstPath"] = platform::WidePath(install_); });
  Click();
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_TRUE(v.OverlayShows(OverlayPage::Progress));
    EXPECT_EQ(v.texts["progTxt"], L"正在连接服务，请稍候...");
    EXPECT_EQ(v.Stage(), "imgDownDeekSeek");
  });
  EXPECT_EQ(packageRequests_.load(), 0);
  harness_->OnUI([this] { harness_->engine().OnRemoteConfigReady(); });
  ASSERT_TRUE(WaitForReadyPage());
}

TEST_F(InstallWorkflow, ClosingTheOverlayWhileWaitingReturnsToIdle) {
  harness_.reset();
  harness_ = std::make_unique<EngineHarness>();
  harness_->OnUI([this] {
    harness_->view().texts["InstPath"] = platform::WidePath(install_);
    harness_->engine().OnInstallClick();
    harness_->engine().OnOverlayClose();
    EXPECT_EQ(harness_->view().Stage(), "imgNoDownDeekSeek");
    EXPECT_FALSE(harness_->view().overlayVisible);
    harness_->engine().OnRemoteConfigReady();  // nothing waits any more
  });
  EXPECT_EQ(packageRequests_.load(), 0);
}

TEST_F(InstallWorkflow, TooLittleSpaceAsksBeforeStarting) {
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    v.selectedModel = 6;  // 404 GB
    v.answerContinue = false;
    harness_->engine().OnInstallClick();
    if (v.questions.empty()) return;  // a disk that large: nothing to ask
    EXPECT_NE(v.questions[0].find(L"磁盘空间不足|"), std::wstring::npos);
    EXPECT_EQ(v.Stage(), "imgNoDownDeekSeek");
    EXPECT_FALSE(v.overlayVisible);
  });
  EXPECT_EQ(packageRequests_.load(), 0);
}

}  // namespace
