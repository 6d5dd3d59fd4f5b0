// The installation engine through its whole road and every failure row,
// with script stand-ins for the setups, the runner stand-in (its real server
// API) fed by a local model source, and a local vendor.
#include <tests/integration/install_workflow_fixture.h>

#include <install/runner_login.h>
#include <platform/listening_port.h>
#include <platform/os_encoding.h>
#include <platform/user_environment.h>

namespace {

using namespace workflow;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST_F(InstallWorkflow, WholeInstallationReachesTheReadyPage) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());

  EXPECT_EQ(Events(),
            (std::vector<std::string>{"clickInstallPackDeepseek", "InstallOllamaStartDeepseek",
                                      "InstallOllamaEndDeepseek", "DownModelStartDeepseek",
                                      "DownModelEndDeepseek", "modelDownSuccDeepseek",
                                      "FirstAnswerOkDeepseek"}));
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(install_));
  EXPECT_TRUE(fs::exists(platform::OsPath(layout.ollamaExecutable)));
  EXPECT_TRUE(fs::exists(platform::OsPath(layout.chatboxExecutable)));
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
  EXPECT_TRUE(fs::exists(Archive()));  // kept for the next run
  // The setup and the server are handed the store; other threads read our
  // environment, so it is never changed.
  if (SetupNotesTheStore()) {
    EXPECT_EQ(ReadTextFile(SetupStoreRecord()), (install_ / "ollama_models").string());
  }
  EXPECT_EQ(::getenv("OLLAMA_MODELS"), nullptr);

  Json::Value settings;
  ASSERT_TRUE(ParseJson(ReadTextFile(platform::OsPath(ChatboxSettingsFile())), settings));
  EXPECT_EQ(settings["settings"]["ollamaModel"].asString(), "deepseek-r1:1.5b");
  EXPECT_EQ(settings["settings"]["defaultChatModel"]["model"].asString(), "deepseek-r1:1.5b");
  EXPECT_EQ(settings["settings"]["providers"]["ollama"]["apiHost"].asString(),
            RunnerServerAddress());
  RegKey product(platform::kCurrentUser, GetAppConstants().productKeyPath);
  EXPECT_EQ(product.GetStringValue(L"OllamaPath"), platform::WidePath(install_));
  RegKey setupKey(platform::kCurrentUser, L"SOFTWARE\\bd4f3b30-4f23-5853-b30a-61e20eb47251");
  EXPECT_EQ(setupKey.GetStringValue(L"InstallLocation"), layout.chatboxFolder);
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"OLLAMA_MODELS"),
            platform::WidePath(install_ / "ollama_models"));
  // The runner's server comes back with the user's session.
  EXPECT_TRUE(RunnerServerRegisteredAtLogin(layout));

  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_EQ(v.state.readyModel, L"已下载 deepseek-r1:1.5b");
    EXPECT_TRUE(v.Row(1).installed);
    EXPECT_TRUE(v.messages.empty());
    const auto& pulls = v.pulls[0];
    ASSERT_FALSE(pulls.empty());
    // Exact bytes on the way: the model's own layer comes first with its
    // total, the small ones add to it, and the bar moves through the middle
    // without ever stepping back.
    std::uint64_t firstTotal = 0;
    std::uint64_t lastDone = 0;
    bool sawMiddle = false;
    for (const PullProgress& p : pulls) {
      if (p.phase != PullPhase::Pulling) continue;
      if (firstTotal == 0) firstTotal = p.totalBytes;
      EXPECT_LE(p.doneBytes, p.totalBytes);
      EXPECT_GE(p.doneBytes, lastDone);
      EXPECT_FALSE(p.stalled);
      lastDone = p.doneBytes;
      sawMiddle = sawMiddle || (p.percent > 0 && p.percent < 100);
    }
    EXPECT_GE(firstTotal, kModelBytes);
    EXPECT_TRUE(sawMiddle);
    EXPECT_EQ(pulls.back().doneBytes, pulls.back().totalBytes);
    EXPECT_EQ(pulls.back().percent, 100);
    EXPECT_EQ(pulls.back().phase, PullPhase::Success);
    EXPECT_TRUE(pulls.back().finished);
  });
  EXPECT_EQ(GetServiceState().rememberedModelIndex.get(), "1");
}

// Another program already serves on the runner's usual address, and ours
// answers only after its slow first start: the model still goes into the
// chosen folder's store, through our own server, and the other is left alone.
TEST_F(InstallWorkflow, SlowRunnerBesideAnotherOnTheUsualAddress) {
  std::atomic<int> strangerPulls{0};
  httplib::Server stranger;
  stranger.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("Ollama is running", "text/plain");
  });
  stranger.Get("/api/tags", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(R"({"models":[{"name":"deepseek-r1:1.5b","size":1}]})", "application/json");
  });
  stranger.Post("/api/pull", [&](const httplib::Request&, httplib::Response& res) {
    ++strangerPulls;
    res.set_content("{\"status\":\"success\"}\n", "application/x-ndjson");
  });
  // When a parallel test's runner holds the port already, that one is the
  // stranger: either way the address is not ours.
  std::thread serving;
  const bool strangerListens = stranger.bind_to_port("127.0.0.1", 11434);
  if (strangerListens) serving = std::thread([&] { stranger.listen_after_bind(); });
  SetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "8000");
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
  EXPECT_EQ(strangerPulls.load(), 0);
  // (The other test's runner may have gone meanwhile and left the port free.)
  if (strangerListens) {
    EXPECT_NE(RunnerServerAddress(), "http://127.0.0.1:11434");
  }
  harness_->OnUI([this] {
    const auto& pulls = harness_->view().pulls[0];
    ASSERT_FALSE(pulls.empty());
    EXPECT_EQ(pulls.front().phase, PullPhase::StartingRunner);  // the wait is explained
    EXPECT_TRUE(harness_->view().messages.empty());
  });
  stranger.stop();
  if (serving.joinable()) serving.join();
}

// Another program takes our port while our server is still starting: its
// answer is not taken for ours (the model would go into its store), and
// ours moves to another port.
TEST_F(InstallWorkflow, AProgramThatTakesThePortWhileOursStartsIsNotTakenForOurs) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  const std::string before = RunnerServerAddress();
  StopStartedRunnerServer();
  const int port = std::stoi(before.substr(before.rfind(':') + 1));
  httplib::Server stranger;
  stranger.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("Ollama is running", "text/plain");
  });
  std::thread serving;
  SetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "1500");
  const RunnerServerState state = EnsureRunnerServer(
      CurrentInstallLayout(),
      [&] {
        // Just before ours starts: the stranger binds first and answers at once.
        if (BindStranger(stranger, port)) {
          serving = std::thread([&] { stranger.listen_after_bind(); });
          // A later stop must find it running, or the stop is ignored.
          while (!stranger.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
        }
      },
      30000);
  EXPECT_EQ(state, RunnerServerState::Ready);
  EXPECT_NE(RunnerServerAddress(), before);
  const std::string after = RunnerServerAddress();
  const platform::PortOwner owner = platform::FindPortOwner(
      static_cast<std::uint16_t>(std::stoi(after.substr(after.rfind(':') + 1))));
  EXPECT_NE(platform::OsNarrowToWide(owner.executable)
                .find(platform::WidePath(install_ / "ollama_location")),
            std::wstring::npos)
      << owner.executable;
  stranger.stop();
  if (serving.joinable()) serving.join();
}

TEST_F(InstallWorkflow, SecondInstallReusesTheArchiveAndTheRunner) {
  ASSERT_NO_FATAL_FAILURE(InstallTwoModels());
  EXPECT_EQ(packageRequests_.load(), 1);  // unpacked again from the kept archive
  EXPECT_TRUE(StoreHas("deepseek-r1:7b")) << Describe();
}

// The start-up look at what is installed waits for the runner; an
// installation the user starts meanwhile goes on to its own end, and the
// look's answer does not show the ready page in the middle of it.
TEST_F(InstallWorkflow, AStartUpLookEndingDuringAnInstallationLeavesItBe) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  StopStartedRunnerServer();
  SetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "3000");
  // A new start, as the fixture makes one.
  harness_.reset();
  harness_ = std::make_unique<EngineHarness>();
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    v.installFolder = platform::WidePath(install_);
    harness_->engine().pullOptions.publishEveryMs = 0;
    harness_->engine().OnRemoteConfigReady();
    harness_->engine().StartInstalledModelDetection();
    ASSERT_TRUE(v.Ready());  // from the record and the store, at once
  });
  // The look has started our server and waits for it to answer (were the
  // click first to the server, the look would answer after the installation
  // and the case would prove nothing, never fail).
  std::this_thread::sleep_for(1s);
  harness_->OnUI([this] {
    harness_->view().stages.clear();
    harness_->ClickInstall();
  });
  // The ready page comes once the pull is done, not before.
  PullPhase phase = PullPhase::Starting;
  ASSERT_TRUE(harness_->WaitUntil([&](RecordingView& v) {
    if (!v.Ready() || v.stages.size() < 2) return false;
    phase = v.pulls[0].empty() ? PullPhase::Starting : v.pulls[0].back().phase;
    return true;
  }));
  EXPECT_EQ(phase, PullPhase::Success);
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(harness_->OnUI([this] { return harness_->view().stages; }),
            (std::vector<InstallStage>{InstallStage::Ready,  // the click's first line cleared
                                       InstallStage::Package, InstallStage::Runner,
                                       InstallStage::Model, InstallStage::Ready}));
  EXPECT_TRUE(
      harness_->WaitUntil([this](RecordingView&) { return !harness_->engine().WorkRunning(); }));
}

TEST_F(InstallWorkflow, AfterARestartTheDetectedModelIsTheOneTheClientGets) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  // A new start: nothing pulled in this run, the runner lists the model.
  harness_.reset();
  harness_ = std::make_unique<EngineHarness>();
  GetServiceState().rememberedModelIndex = std::string();
  harness_->OnUI([this] { harness_->engine().StartInstalledModelDetection(); });
  ASSERT_TRUE(harness_->WaitUntil([](RecordingView& v) { return v.Ready(); }));
  EXPECT_EQ(harness_->engine().modelTag(), "deepseek-r1:1.5b");
  harness_->OnUI([this] {
    EXPECT_EQ(harness_->view().state.readyModel, L"已下载 deepseek-r1:1.5b");
    EXPECT_TRUE(harness_->view().Row(1).installed);
  });
}

// After a restart nothing of ours runs, and here another program has taken
// our port meanwhile: try-now brings our server back on a new port before it
// starts the client, and the client's settings and the login registration
// follow it.
TEST_F(InstallWorkflow, AfterARestartTryNowStartsOurServerFirst) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  const std::string before = RunnerServerAddress();
  StopStartedRunnerServer();
  ASSERT_FALSE(RunnerAnswers(before, 1000));
  httplib::Server stranger;
  const int oldPort = std::stoi(before.substr(before.rfind(':') + 1));
  ASSERT_TRUE(BindStranger(stranger, oldPort));
  std::thread serving([&] { stranger.listen_after_bind(); });

  harness_->OnUI([this] {
    harness_->engine().TryNow();
    EXPECT_TRUE(harness_->view().state.tryNowBusy);
  });
  ASSERT_TRUE(harness_->WaitUntil([](RecordingView& v) { return !v.state.tryNowBusy; }));
  const std::string after = RunnerServerAddress();
  EXPECT_NE(after, before);
  EXPECT_TRUE(RunnerAnswers(after, 1000));
  Json::Value settings;
  ASSERT_TRUE(ParseJson(ReadTextFile(platform::OsPath(ChatboxSettingsFile())), settings));
  EXPECT_EQ(settings["settings"]["providers"]["ollama"]["apiHost"].asString(), after);
  // The login entry follows the server to its new address.
  EXPECT_TRUE(RunnerServerRegisteredAtLogin(MakeInstallLayout(platform::WidePath(install_))));
  // The client it started.
  EXPECT_TRUE(StopChatboxIn(MakeInstallLayout(platform::WidePath(install_)).chatboxFolder, 5000));
  stranger.stop();
  serving.join();
}

// Only the catalogue's own tags count as installed: another family's model
// of the same size is not the one the window offers.
TEST_F(InstallWorkflow, AnotherFamilysModelOfTheSameSizeIsNotTakenForOurs) {
  {
    std::lock_guard lock(mutex_);
    available_ = {"llama3:8b"};
  }
  harness_->OnUI([this] { harness_->view().selectedModel = 2; });  // deepseek-r1:8b
  Click();
  ASSERT_TRUE(WaitForMessage());
  // Put the other family's model into our store the way a user would.
  const std::string address = RunnerServerAddress();
  httplib::Client client(address);
  client.set_read_timeout(60);
  const auto pulled = client.Post("/api/pull", R"({"model":"llama3:8b"})", "application/json");
  ASSERT_TRUE(pulled);
  ASSERT_NE(pulled->body.find("\"success\""), std::string::npos) << pulled->body;

  const RunnerCheck check = harness_->engine().DetectInstalledModel();
  EXPECT_FALSE(check.found);
  EXPECT_FALSE(harness_->engine().IsModelDownloaded("deepseek-r1:8b"));
}

TEST_F(InstallWorkflow, PackageWithoutAnInstallerIsDeletedAndFetchedAgain) {
  SetPackage(true, false);
  Click();
  ASSERT_TRUE(WaitForStage(InstallStage::Idle));
  EXPECT_FALSE(fs::exists(Archive()));
  SetPackage(true, true);
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(packageRequests_.load(), 2);
}

TEST_F(InstallWorkflow, PackageNotMatchingTheAnnouncedDigestIsNeverUsed) {
  GetServiceState().packageSha256 = std::string(64, '0');
  Click();
  ASSERT_TRUE(WaitForStage(InstallStage::Idle));
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
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(packageRequests_.load(), 3);
  EXPECT_EQ(ReadTextFile(Archive()), package_);
}

TEST_F(InstallWorkflow, RunnerMissingAfterSetupIsNamed) {
  SetPackage(true, true, /*setupInstallsRunner=*/false);
  Click();
  ASSERT_TRUE(ShowsTheCauseAndReturnsToIdle(L"模型运行程序没有安装成功"));
  harness_->OnUI([this] {
    const auto& pulls = harness_->view().pulls[0];
    ASSERT_FALSE(pulls.empty());
    EXPECT_EQ(pulls.back().phase, PullPhase::Error);
    EXPECT_EQ(pulls.back().errorText, "runner not installed");
  });
  EXPECT_EQ(Events(), FailedPullEvents("InstallOllamaFails"));  // never "InstallOllamaEnd"
}

// A server that never answers is its own failure, named as such: reopening
// the assistant because of "the network" would not help.
TEST_F(InstallWorkflow, RunnerServerThatNeverAnswersIsNamed) {
  SetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "60000");
  harness_->OnUI([this] { harness_->engine().pullOptions.serverTimeoutMs = 1500; });
  Click();
  ASSERT_TRUE(ShowsTheCauseAndReturnsToIdle(L"模型运行程序启动后一直没有响应"));
  EXPECT_FALSE(fs::exists(platform::OsPath(ChatboxSettingsFile())));
  EXPECT_EQ(Events(), FailedPullEvents("InstallOllamaEnd"));
}

TEST_F(InstallWorkflow, PullFailingMidwayShowsTheRunnersErrorAndWritesNoSettings) {
  {
    std::lock_guard lock(mutex_);
    sourceMode_ = "fail";
  }
  Click();
  ASSERT_TRUE(ShowsTheCauseAndReturnsToIdle());
  harness_->OnUI([this] {
    const auto& pulls = harness_->view().pulls[0];
    ASSERT_GE(pulls.size(), 2u);
    EXPECT_EQ(pulls.back().phase, PullPhase::Error);
    EXPECT_FALSE(pulls.back().errorText.empty());
  });
  EXPECT_EQ(Events(), FailedPullEvents("InstallOllamaEnd"));
  // The chat client is never pointed at a model the runner does not have.
  EXPECT_FALSE(fs::exists(platform::OsPath(ChatboxSettingsFile())));
}

TEST_F(InstallWorkflow, PulledModelMissingWhileOthersAreListedReturnsToIdle) {
  harness_->OnUI([this] { harness_->view().selectedModel = 2; });
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  {
    std::lock_guard lock(mutex_);
    available_ = {"deepseek-r1:8b"};
  }
  harness_->OnUI([this] { harness_->view().selectedModel = 0; });
  Click();
  ASSERT_TRUE(ShowsTheCauseAndReturnsToIdle(L"找不到所选的模型"));
  EXPECT_FALSE(harness_->OnUI([this] { return harness_->view().Ready(); }));
  // Another model is there, this one is not: the pull failed.
  const std::vector<std::string> events = Events();
  const std::vector<std::string> second(events.end() - 6, events.end());
  EXPECT_EQ(second, FailedPullEvents("InstallOllamaEnd"));
}

TEST_F(InstallWorkflow, ModelListRowsPullAtOnceAndEachReturnsItsOwnRow) {
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  harness_->OnUI([this] {
    harness_->engine().OnModelRowDownloadClick(2);
    harness_->engine().OnModelRowDownloadClick(3);
    EXPECT_TRUE(harness_->view().Row(2).pulling);
    EXPECT_TRUE(harness_->view().Row(3).pulling);
  });
  ASSERT_TRUE(harness_->WaitUntil([](RecordingView& v) {
    return !v.Row(2).pulling && !v.Row(3).pulling;
  }));
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_TRUE(v.Row(2).installed);  // shown as downloaded
    EXPECT_TRUE(v.Row(3).installed);
    EXPECT_EQ(v.pulls[2].back().phase, PullPhase::Success);
    EXPECT_EQ(v.pulls[3].back().phase, PullPhase::Success);
  });
  EXPECT_TRUE(StoreHas("deepseek-r1:7b"));
  EXPECT_TRUE(StoreHas("deepseek-r1:8b"));
}

// A package on disk has no download to move the figure: what the timer
// reads is what is shown, and the overlay goes at 100 %.
TEST_F(InstallWorkflow, ProgressOverlayFollowsTheIntegerPercent) {
  const fs::path local = home_.root() / "local.zip";
  {
    std::lock_guard lock(mutex_);
    std::ofstream(local, std::ios::binary) << package_;
  }
  harness_->OnUI([&] {
    RecordingView& v = harness_->view();
    ASSERT_TRUE(harness_->engine().ChooseLocalPackage(platform::WidePath(local)));
    harness_->ClickInstall();
    ASSERT_EQ(v.state.overlay.shown, ProgressOverlay::Package);
    downloadPercent = 99.9;
    harness_->engine().OnProgressTimer();
    EXPECT_EQ(v.state.overlay.percent, 99);
    EXPECT_EQ(v.state.overlay.percentText, L"(99 %)");
    EXPECT_TRUE(v.OverlayShown());
    downloadPercent = 100;
    harness_->engine().OnProgressTimer();
    EXPECT_EQ(v.state.overlay.percentText, L"(100 %)");
    EXPECT_FALSE(v.OverlayShown());
  });
  ASSERT_TRUE(WaitForReadyPage());
}

TEST_F(InstallWorkflow, InstallWaitsForTheConfigurationThenGoesOn) {
  harness_.reset();
  harness_ = std::make_unique<EngineHarness>();
  harness_->OnUI([this] { harness_->view().installFolder = platform::WidePath(install_); });
  Click();
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_EQ(v.state.overlay.shown, ProgressOverlay::WaitingForService);
    EXPECT_EQ(v.state.overlay.title, L"正在连接服务，请稍候...");
    EXPECT_EQ(v.Stage(), InstallStage::Package);
  });
  EXPECT_EQ(packageRequests_.load(), 0);
  harness_->OnUI([this] { harness_->engine().OnRemoteConfigReady(); });
  ASSERT_TRUE(WaitForReadyPage());
}

TEST_F(InstallWorkflow, ClosingTheOverlayWhileWaitingReturnsToIdle) {
  harness_.reset();
  harness_ = std::make_unique<EngineHarness>();
  harness_->OnUI([this] {
    harness_->view().installFolder = platform::WidePath(install_);
    harness_->ClickInstall();
    harness_->engine().OnOverlayClose();
    EXPECT_EQ(harness_->view().Stage(), InstallStage::Idle);
    EXPECT_FALSE(harness_->view().OverlayShown());
    harness_->engine().OnRemoteConfigReady();  // nothing waits any more
  });
  EXPECT_EQ(packageRequests_.load(), 0);
}

TEST_F(InstallWorkflow, TooLittleSpaceAsksBeforeStarting) {
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    v.selectedModel = 6;  // 404 GB
    v.answerContinue = false;
    harness_->ClickInstall();
    if (v.questions.empty()) return;  // a disk that large: nothing to ask
    EXPECT_NE(v.questions[0].find(L"磁盘空间不足|"), std::wstring::npos);
    EXPECT_EQ(v.Stage(), InstallStage::Idle);
    EXPECT_FALSE(v.OverlayShown());
  });
  EXPECT_EQ(packageRequests_.load(), 0);
}

}  // namespace
