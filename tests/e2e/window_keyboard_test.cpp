// The real window, offscreen, through a whole installation against the
// local vendor service and the stand-ins, driven by keys alone: Tab to a
// control, Enter or Space to press it, Escape to close the overlay.
#include <tests/e2e/window_session.h>

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

using namespace window_session;

class WindowKeyboard : public WindowSession {
 protected:
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
