#pragma once
// The real window, offscreen, against the local vendor service and the
// stand-ins: what the whole-road window tests share. Start() brings the
// service up and opens the window; the tear-down ends everything the test
// started below its home.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStackedWidget>
#include <QTest>

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <config/app_constants.h>
#include <install/runner_server.h>
#include <platform/user_environment.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <tests/support/built_programs.h>
#include <tests/support/temp_home.h>
#include <tests/support/vendor_service_process.h>
#include <ui/main_dlg.h>
#include <ui/message_box.h>
#include <ui/qt_notify_center.h>
#include <work/action_factory.h>
#include <work/thread_module.h>

namespace window_session {

namespace fs = std::filesystem;

// Ends the programs started from below the folder (the chat client a test
// started), never another test's.
inline void EndProgramsBelow(const fs::path& folder) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::error_code linkError;
    const fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
    if (linkError || exe.string().rfind(folder.string() + "/", 0) != 0) continue;
    ::kill(static_cast<pid_t>(std::stol(entry.path().filename().string())), SIGTERM);
  }
}

template <class T = QWidget>
T* Find(QWidget& window, const char* name) {
  T* child = window.findChild<T*>(QLatin1String(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

class WindowSession : public ::testing::Test {
 protected:
  void Start(const std::vector<std::string>& vendorArgs) {
    fs::create_directories(home_.root() / "tmp");
    ::setenv("TMPDIR", (home_.root() / "tmp").c_str(), 1);
    std::vector<std::string> args = {"--package", built::TestPackage()};
    args.insert(args.end(), vendorArgs.begin(), vendorArgs.end());
    vendor_ = std::make_unique<VendorServiceProcess>(args);
    ASSERT_TRUE(vendor_->Started()) << vendor_->Output();
    AppConstants& constants = GetAppConstants();
    saved_ = constants;
    constants.remoteConfigUrl = vendor_->Url("/api/dpsk/config");
    constants.eventLogUrl = vendor_->Url("/dpsk/log/log");
    ::setenv("TIDEWELL_MODEL_SOURCE", vendor_->ModelSource().c_str(), 1);
    // The runner retries a broken download with waits from a second up: a
    // millisecond here keeps the failing cases short.
    ::setenv("TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS", "1", 1);
    // Each layer of a pull waits for the runner's watchdog tick: shortened.
    ::setenv("TIDEWELL_FAKE_OLLAMA_WATCHDOG_MS", "50", 1);
    // The first answer loads the model: quickly here.
    ::setenv("TIDEWELL_FAKE_OLLAMA_LOAD_MS", "50", 1);
    platform::SetEnvironmentBroadcastForTesting([](std::wstring_view, std::wstring_view) {});
    SetMessageBoxHandler([this](const QString& text, const QString& caption, MessageIcon) {
      messages_.push_back(caption + "|" + text);
    });
    SetQuestionHandler([this](const QString& text, const QString&) {
      questions_.push_back(text);
      return true;
    });
    CServiceState& state = GetServiceState();
    state = CServiceState();
    state.PrepareWorkFolder();
    DeclareApplicationEvents(center_);
    window_ = std::make_unique<CMainDlg>();
    ASSERT_TRUE(window_->Create());
    window_->OnInitDialog();
    window_->show();
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->engine().RemoteConfigReady(); }, 30000));
  }

  ~WindowSession() override {
    // The window goes first; workers still running finish while the event
    // loop turns (their calls to the window are dropped), then the pool stops.
    window_.reset();
    (void)QTest::qWaitFor([this] { return module_.idle_count() == module_.size(); }, 120000);
    module_.stop();
    GetEventReporter().WaitIdle();
    StopStartedRunnerServer();
    EndProgramsBelow(home_.root());
    SetMessageBoxHandler(nullptr);
    SetQuestionHandler(nullptr);
    GetAppConstants() = saved_;
    for (const char* name : {"TMPDIR", "TIDEWELL_MODEL_SOURCE", "OLLAMA_MODELS",
                             "TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS", "TIDEWELL_FAKE_OLLAMA_LOAD_MS",
                             "TIDEWELL_FAKE_OLLAMA_WATCHDOG_MS"}) {
      ::unsetenv(name);
    }
  }

  QWidget& W() { return *window_; }
  int Page(const char* stack) { return Find<QStackedWidget>(W(), stack)->currentIndex(); }
  bool Shown(const char* name) { return Find(W(), name)->isVisibleTo(window_.get()); }
  std::vector<std::string> Events() {
    GetEventReporter().WaitIdle();
    return vendor_->EventNames();
  }

  TempHome home_;
  AppConstants saved_;
  std::unique_ptr<VendorServiceProcess> vendor_;
  CQtNotifyCenter center_;
  CThreadModule module_{AppConstants::kWorkerThreadCount};
  Action::CActionFactory factory_;
  std::unique_ptr<CMainDlg> window_;
  QStringList messages_;
  QStringList questions_;
};

}  // namespace window_session
