#pragma once
// The installation engine as the window runs it, with script stand-ins for
// the setups, the runner stand-in (its real server API) fed by a local model
// source, and a local vendor: shared by the whole-road tests and the
// failure-path table.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include <base/text_helpers.h>
#include <config/app_constants.h>
#include <config/json_text.h>
#include <config/product_values.h>
#include <config/reg_key.h>
#include <install/chatbox_process.h>
#include <install/install_layout.h>
#include <install/manage_view.h>
#include <install/runner_api.h>
#include <install/runner_server.h>
#include <package/file_downloader.h>
#include <package/package_digest.h>
#include <platform/os_encoding.h>
#include <platform/user_environment.h>
#include <platform/utf.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <tests/support/built_programs.h>
#include <tests/support/engine_harness.h>
#include <tests/integration/workflow_setups.h>
#include <tests/support/temp_home.h>
#include <tests/support/test_server.h>
#include <tests/support/variables.h>
#include <tests/support/zip_builder.h>

namespace workflow {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Model bytes the source serves for each tag: enough chunks that a pull is
// seen on its way, few enough that tests stay quick.
constexpr std::size_t kModelBytes = 3 * 1024 * 1024;
constexpr std::size_t kChunkBytes = 128 * 1024;

// Binds another program's listener on our address as a Go program's (the
// runner's kind) would: with SO_REUSEADDR, so the connections our stopped
// server closed, still waiting on the port, do not stop it (cpp-httplib
// alone sets SO_REUSEPORT only).
inline bool BindStranger(httplib::Server& stranger, int port) {
  stranger.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
  });
  return stranger.bind_to_port("127.0.0.1", port);
}

// The manage page as the engine drives it: what it shows, whether it is
// busy, and each report with its title.
class RecordingManageView : public IManageView {
 public:
  void ShowManagePage(const InstalledStatus& shown, bool known) override {
    status = shown;
    sizesKnown = known;
    pageShown = true;
    ++pagesShown;
  }
  void ShowManageBusy(const std::wstring& text) override { busy = text; }
  bool AskUninstall(std::uint64_t, std::uint64_t, UninstallChoice& asked) override {
    asked = choice;
    return true;
  }
  void ShowManageReport(const std::wstring& title,
                        const std::vector<std::wstring>& lines) override {
    reports.push_back({title, lines});
  }
  void HideManagePage() override { pageShown = false; }

  InstalledStatus status;
  bool sizesKnown = false;
  int pagesShown = 0;
  bool pageShown = false;
  std::wstring busy;
  UninstallChoice choice;
  std::vector<std::pair<std::wstring, std::vector<std::wstring>>> reports;
};

class InstallWorkflow : public ::testing::Test {
 protected:
  InstallWorkflow() {
    // Nothing the installation does may set it here: the test sees whether
    // our own environment stays as it was.
    UnsetVariable("OLLAMA_MODELS");
    AppConstants& constants = GetAppConstants();
    saved_ = constants;
    constants.deviceId = "ab12";
    constants.channel = "ch01";
    constants.clientVersion = "1.0.0.1";
    constants.osName = "linux";
    // u8: a plain literal would be read in the ANSI code page on Windows.
    install_ = home_.root() / fs::path(u8"安装 目录");
    runner_ = built::FakeOllamaProgram();

    // "break": the package's first half, then the connection goes.
    server_.server().Get("/package/deepseek.zip", [this](const httplib::Request&,
                                                         httplib::Response& res) {
      ++packageRequests_;
      std::lock_guard lock(mutex_);
      if (packageMode_ != "break") {
        res.set_content(package_, "application/zip");
        return;
      }
      const std::string half = package_.substr(0, package_.size() / 2);
      res.set_content_provider(package_.size(), "application/zip",
                               [half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                 if (offset >= half.size()) return false;
                                 return sink.write(half.data() + offset, half.size() - offset);
                               });
    });
    // The configuration as the vendor serves it, or "500", "empty" (no
    // package named) or "html" (a proxy's page instead of JSON).
    server_.server().Get("/api/dpsk/config", [this](const httplib::Request&,
                                                    httplib::Response& res) {
      std::lock_guard lock(mutex_);
      ++configRequests_;
      if (configMode_ == "500") {
        res.status = 500;
      } else if (configMode_ == "empty") {
        res.set_content("{}", "application/json");
      } else if (configMode_ == "html") {
        res.set_content("<html>gateway</html>", "text/html");
      } else {
        const std::string version =
            configVersion_.empty() ? "" : R"(,"DeepSeekVersion":")" + configVersion_ + "\"";
        res.set_content(R"({"serviceurl":")" + server_.Url("/support") + R"(","DeepSeekUrl":")" +
                            server_.Url("/package/deepseek.zip") + "\"" + version + "}",
                        "application/json");
      }
    });
    // The runner's model source: a tag's bytes, slowly enough to be seen
    // on their way; "fail" breaks off halfway; unknown tags are not there.
    server_.server().Get(
        R"(/models/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
          const std::string name = req.matches[1].str();
          std::lock_guard lock(mutex_);
          if (available_.count(name) == 0) {
            res.status = 404;
            return;
          }
          const bool breakOff = sourceMode_ == "fail";
          res.set_content_provider(
              kModelBytes, "application/octet-stream",
              [breakOff](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (breakOff && offset >= kModelBytes / 2) return false;
                const std::string chunk(std::min(length, kChunkBytes), 'm');
                std::this_thread::sleep_for(20ms);
                return sink.write(chunk.data(), chunk.size());
              });
        });
    server_.server().Get(R"(/dpsk/log/log/([^/]+)/.*)",
                         [this](const httplib::Request& req, httplib::Response& res) {
                           std::lock_guard lock(mutex_);
                           events_.push_back(req.matches[1].str());
                           res.set_content("{}", "application/json");
                         });
    server_.Start();
    constants.eventLogUrl = server_.Url("/dpsk/log/log");
    constants.remoteConfigUrl = server_.Url("/api/dpsk/config");
    // A broken download fails after one quick retry, not after minutes.
    CFileDownloader& downloader = GetFileDownloader();
    savedRetries_ = downloader.maxRetries;
    savedRetryWait_ = downloader.firstRetryWaitMs;
    downloader.maxRetries = 1;
    downloader.firstRetryWaitMs = 10;
    SetVariable("TIDEWELL_MODEL_SOURCE", server_.Url("/models").c_str());
    SetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS", "300");
    SetVariable("TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS", "1");
    // Each layer of a pull waits for the runner's watchdog tick: shortened.
    SetVariable("TIDEWELL_FAKE_OLLAMA_WATCHDOG_MS", "50");
    // The first answer loads the model: quickly, unless a test says otherwise.
    SetVariable("TIDEWELL_FAKE_OLLAMA_LOAD_MS", "50");
    // Downloads of parallel test processes must never meet in a shared folder.
    fs::create_directories(home_.root() / "tmp");
    SetVariable("TMPDIR", (home_.root() / "tmp").string().c_str());
    platform::SetEnvironmentBroadcastForTesting([](std::wstring_view, std::wstring_view) {});

    CServiceState& state = GetServiceState();
    state = CServiceState();
    state.workFolder = platform::WidePath(home_.data() / "Tidewell") + platform::PathSeparator();
    fs::create_directories(home_.data() / "Tidewell");
    state.installFolder = std::wstring();
    state.rememberedModelIndex = std::string();
    state.packageUrl = server_.Url("/package/deepseek.zip");
    SetPackage(true, true);
    harness_ = std::make_unique<EngineHarness>();
    harness_->OnUI([this] {
      harness_->view().installFolder = platform::WidePath(install_);
      harness_->engine().pullOptions.publishEveryMs = 0;
      harness_->engine().OnRemoteConfigReady();
    });
  }
  ~InstallWorkflow() override {
    harness_.reset();
    StopStartedRunnerServer();
    GetEventReporter().WaitIdle();
    // The last reports were recorded by the server's threads under the lock;
    // taking it orders their writes before the members go (the answers that
    // told the reporter so came through a socket, which the thread
    // sanitizer cannot see).
    { std::lock_guard lock(mutex_); }
    GetAppConstants() = saved_;
    GetFileDownloader().maxRetries = savedRetries_;
    GetFileDownloader().firstRetryWaitMs = savedRetryWait_;
    UnsetVariable("TIDEWELL_MODEL_SOURCE");
    UnsetVariable("TIDEWELL_FAKE_OLLAMA_START_DELAY_MS");
    UnsetVariable("TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS");
    UnsetVariable("TIDEWELL_FAKE_OLLAMA_WATCHDOG_MS");
    UnsetVariable("TMPDIR");
    UnsetVariable("OLLAMA_MODELS");
  }

  void SetPackage(bool withRunnerSetup, bool withClientSetup, bool setupInstallsRunner = true) {
    SetupsWanted wanted;
    wanted.setupInstallsRunner = setupInstallsRunner;
    SetPackage(withRunnerSetup, withClientSetup, wanted);
  }
  // The package as wanted: its setups' switches and marks, this test's
  // runner stand-in and folders.
  void SetPackage(bool withRunnerSetup, bool withClientSetup, SetupsWanted wanted) {
    wanted.runnerSetup = withRunnerSetup;
    wanted.clientSetup = withClientSetup;
    wanted.runner = runner_;
    wanted.installFolder = install_;
    wanted.storeRecord = SetupStoreRecord();
    const std::string package = BuildZip(PackageSetups(wanted));
    std::lock_guard lock(mutex_);
    package_ = package;
  }

  std::vector<std::string> Events() {
    GetEventReporter().WaitIdle();
    std::lock_guard lock(mutex_);
    return events_;
  }

  void Click() {
    harness_->OnUI([this] { harness_->ClickInstall(); });
  }
  // What the view shows, for failure messages.
  std::string Describe() {
    return harness_->OnUI([this] {
      RecordingView& v = harness_->view();
      std::string text = std::string("stage=") + StageName(v.Stage()) +
                         " messages=" + std::to_string(v.messages.size());
      // The last one says why, when the workflow gave up.
      if (!v.messages.empty()) text += " last=" + platform::WideToUtf8(v.messages.back());
      if (!v.pulls[0].empty()) {
        text += " pull phase=" + std::to_string(static_cast<int>(v.pulls[0].back().phase)) +
                " error=" + v.pulls[0].back().errorText;
      }
      // The runner server's own words on why it did not serve.
      const std::string log = ReadTextFile(
          platform::OsPath(GetServiceState().workFolder + L"runner-server.log"));
      if (!log.empty()) text += "\nrunner server log:\n" + log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
      return text;
    });
  }
  bool WaitForReadyPage() {
    const bool ready =
        harness_->WaitUntil([](RecordingView& v) { return v.Ready(); });
    if (!ready) ADD_FAILURE() << Describe();
    return ready;
  }
  // Installs 1.5b, then 7b from the install page again: the client chats
  // with 7b.
  void InstallTwoModels() {
    Click();
    ASSERT_TRUE(WaitForReadyPage());
    harness_->OnUI([this] { harness_->view().selectedModel = 1; });
    Click();
    ASSERT_TRUE(WaitForReadyPage());
  }
  bool WaitForStage(InstallStage stage) {
    return harness_->WaitUntil(
        [&](RecordingView& v) { return v.Stage() == stage && !v.OverlayShown(); });
  }
  bool WaitForMessage() {
    return harness_->WaitUntil([](RecordingView& v) { return !v.messages.empty(); });
  }
  // The runner check's failure: one message, and the install image back.
  // A failed pull's box: the caption "提示" and a text holding the words
  // given (the network text when the cause is the network), and the install
  // image back.
  bool ShowsTheCauseAndReturnsToIdle(const std::wstring& words = kNetworkWords) {
    if (!WaitForMessage()) return false;
    const std::vector<std::wstring> messages = Messages();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind(L"提示|", 0), 0u);
    EXPECT_NE(messages[0].find(words), std::wstring::npos) << Narrow(messages[0]);
    if (words != kNetworkWords) {
      EXPECT_EQ(messages[0].find(kNetworkWords), std::wstring::npos);
    }
    return WaitForStage(InstallStage::Idle);
  }
  static std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }
  static constexpr wchar_t kNetworkWords[] = L"网络不畅，关闭软件后重新打开即可!";
  // The reports of an installation whose runner step ended as runnerEnd and
  // whose pull failed: every failure says so, none claims a success.
  static std::vector<std::string> FailedPullEvents(const std::string& runnerEnd) {
    return {"clickInstallPackDeepseek", "InstallOllamaStartDeepseek", runnerEnd + "Deepseek",
            "DownModelStartDeepseek",   "DownModelEndDeepseek",       "modelDownFailsDeepseek"};
  }
  std::vector<std::wstring> Messages() {
    return harness_->OnUI([this] { return harness_->view().messages; });
  }
  // Where the runner's setup notes the model store it was given.
  fs::path SetupStoreRecord() const { return home_.root() / "setup-store"; }
  fs::path Archive() const { return platform::OsPath(PackageArchivePath()); }
  // The runner keeps a manifest per model in its store's registry layout.
  bool StoreHas(const std::string& tag) const {
    const auto colon = tag.find(':');
    return fs::exists(install_ / "ollama_models" / "manifests" / "registry.ollama.ai" / "library" /
                      tag.substr(0, colon) / tag.substr(colon + 1));
  }

  TempHome home_;
  AppConstants saved_;
  fs::path install_;
  fs::path runner_;
  TestServer server_;
  std::mutex mutex_;
  std::set<std::string> available_ = {"deepseek-r1:1.5b", "deepseek-r1:7b", "deepseek-r1:8b"};
  std::string sourceMode_;
  std::string packageMode_;
  std::string configMode_;
  std::string configVersion_;  // "DeepSeekVersion", left out when empty
  int configRequests_ = 0;
  int savedRetries_ = 0;
  long savedRetryWait_ = 0;
  std::string package_;
  std::vector<std::string> events_;
  std::atomic<int> packageRequests_{0};
  std::unique_ptr<EngineHarness> harness_;
};

}  // namespace workflow
