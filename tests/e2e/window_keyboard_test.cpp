// The real window, offscreen, through a whole installation against the
// local vendor service and the stand-ins, driven by keys alone: Tab to a
// control, Enter or Space to press it, Escape to close the overlay.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>

#include <unistd.h>
#include <csignal>
#include <filesystem>

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

namespace {

namespace fs = std::filesystem;

// Ends the programs started from below the folder, never another test's.
void EndProgramsBelow(const fs::path& folder) {
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

class WindowKeyboard : public ::testing::Test {
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

  ~WindowKeyboard() override {
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
                             "TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS"}) {
      ::unsetenv(name);
    }
  }

  QWidget& W() { return *window_; }
  // The key goes where a person's would: to the focused control.
  void Press(Qt::Key key) {
    QWidget* focused = window_->focusWidget();
    QTest::keyClick(focused != nullptr ? focused : window_.get(), key);
  }
  QString Focused() {
    return window_->focusWidget() != nullptr ? window_->focusWidget()->objectName() : QString();
  }
  // Tabs until the control has the focus; false when a round never meets it.
  bool TabTo(const char* name) {
    for (int i = 0; i < 40 && Focused() != QLatin1String(name); ++i) Press(Qt::Key_Tab);
    return Focused() == QLatin1String(name);
  }
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

TEST_F(WindowKeyboard, InstallationAndTheModelListByKeysAlone) {
  Start({"--model-size-bytes", "3000000", "--model-rate", "30000000"});
  ASSERT_TRUE(TabTo("imgNoDownDeekSeek"));
  Press(Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([this] { return Page("tab_pages2") == 1; }, 120000))
      << messages_.join("\n").toStdString();
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
  EXPECT_FALSE(Shown("tab_Tip"));
  EXPECT_FALSE(Find(W(), "adked_btn1")->isEnabled());

  // The model list from the ready page's card, with Space.
  ASSERT_TRUE(TabTo("imgDownOtherModel"));
  Press(Qt::Key_Space);
  ASSERT_TRUE(Shown("tab_Tip"));
  EXPECT_EQ(Page("tab_Tip"), 1);
  // The installed model's row cannot be pressed: the focus starts at the next.
  ASSERT_TRUE(QTest::qWaitFor([this] { return Focused() == "adked_btn2"; }, 5000))
      << Focused().toStdString();
  Press(Qt::Key_Return);
  EXPECT_TRUE(Shown("winProgress2"));
  ASSERT_TRUE(QTest::qWaitFor([this] { return !Shown("winProgress2"); }, 60000));
  EXPECT_FALSE(Find(W(), "adked_btn2")->isEnabled());
  // Tab stays inside the overlay.
  for (int i = 0; i < 10; ++i) {
    Press(Qt::Key_Tab);
    ASSERT_TRUE(Find(W(), "tab_Tip")->isAncestorOf(window_->focusWidget()))
        << Focused().toStdString();
  }
  Press(Qt::Key_Escape);
  EXPECT_FALSE(Shown("tab_Tip"));
  EXPECT_TRUE(QTest::qWaitFor([this] { return Focused() == "imgDownOtherModel"; }, 5000));
  EXPECT_TRUE(messages_.isEmpty()) << messages_.join("\n").toStdString();
}

}  // namespace
