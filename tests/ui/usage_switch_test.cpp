// The usage-report switch in the window: the first start's notice, shown
// once, and the two boxes that change the one remembered switch.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <cstdlib>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <config/usage_reports.h>
#include <tests/support/temp_home.h>
#include <ui/main_dlg.h>
#include <ui/qt_notify_center.h>
#include <ui/usage_switch.h>

namespace {

class UsageSwitchWindow : public ::testing::Test {
 protected:
  UsageSwitchWindow() {
    ::unsetenv("DO_NOT_TRACK");
    ForgetUsageReportsSwitchForTesting();
  }
  ~UsageSwitchWindow() override {
    ::unsetenv("DO_NOT_TRACK");
    ForgetUsageReportsSwitchForTesting();
  }
  // A window as a start builds it, shown; the notice as that start decides.
  std::unique_ptr<CMainDlg> Start(bool* noticeShown = nullptr) {
    auto window = std::make_unique<CMainDlg>();
    EXPECT_TRUE(window->Create());
    const bool shown = window->usageSwitch()->ShowNoticeOnFirstStart();
    if (noticeShown != nullptr) *noticeShown = shown;
    window->show();
    QApplication::processEvents();
    return window;
  }
  template <class T = QWidget>
  static T* Find(QWidget& window, const char* name) {
    T* child = window.findChild<T*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  static bool Shown(QWidget& window, const char* name) {
    return Find(window, name)->isVisibleTo(&window);
  }
  static std::wstring Stored(const wchar_t* name) {
    try {
      RegKey key;
      key.Open(platform::kCurrentUser, GetAppConstants().productKeyPath);
      return key.GetStringValue(name);
    } catch (const winreg::RegException&) {
      return L"(none)";
    }
  }

  TempHome home_;
  CQtNotifyCenter center_;
  Action::CActionFactory factory_;
};

TEST_F(UsageSwitchWindow, TheNoticeShowsOnTheFirstStartOnly) {
  bool shown = false;
  {
    auto window = Start(&shown);
    ASSERT_TRUE(shown);
    EXPECT_TRUE(Shown(*window, "usageNotice"));
    // It stands where the intro lines were, with its own box.
    EXPECT_FALSE(Shown(*window, "introLine1"));
    EXPECT_FALSE(Shown(*window, "introLine2"));
    EXPECT_FALSE(Shown(*window, "usageSwitch"));
    EXPECT_TRUE(Find<QCheckBox>(*window, "usageNoticeSwitch")->isChecked());
    EXPECT_EQ(Stored(kUsageNoticeShownValueName), L"(none)");
  }
  {
    // Closed without "知道了": the next start shows it again.
    auto window = Start(&shown);
    ASSERT_TRUE(shown);
    QTest::mouseClick(Find(*window, "usageNoticeClose"), Qt::LeftButton);
    EXPECT_FALSE(Shown(*window, "usageNotice"));
    EXPECT_TRUE(Shown(*window, "introLine1"));
    EXPECT_TRUE(Shown(*window, "introLine2"));
    EXPECT_TRUE(Shown(*window, "usageSwitch"));
    EXPECT_EQ(Stored(kUsageNoticeShownValueName), L"1");
  }
  auto window = Start(&shown);
  EXPECT_FALSE(shown);
  EXPECT_FALSE(Shown(*window, "usageNotice"));
  EXPECT_TRUE(Shown(*window, "usageSwitch"));
}

TEST_F(UsageSwitchWindow, EitherBoxWritesTheRememberedSwitch) {
  auto window = Start();
  auto* notice = Find<QCheckBox>(*window, "usageNoticeSwitch");
  auto* page = Find<QCheckBox>(*window, "usageSwitch");
  QTest::mouseClick(notice, Qt::LeftButton);
  EXPECT_EQ(Stored(kUsageReportsValueName), L"0");
  EXPECT_FALSE(UsageReportsAllowed());
  EXPECT_FALSE(page->isChecked());  // both show the one switch
  QTest::mouseClick(Find(*window, "usageNoticeClose"), Qt::LeftButton);
  QTest::mouseClick(page, Qt::LeftButton);
  EXPECT_EQ(Stored(kUsageReportsValueName), L"1");
  EXPECT_TRUE(UsageReportsAllowed());
  EXPECT_TRUE(notice->isChecked());
  // A later start shows what was remembered.
  QTest::mouseClick(page, Qt::LeftButton);
  window.reset();
  ForgetUsageReportsSwitchForTesting();
  window = Start();
  EXPECT_FALSE(Find<QCheckBox>(*window, "usageSwitch")->isChecked());
}

TEST_F(UsageSwitchWindow, DoNotTrackShowsTheSwitchOffAndLockedAndSaysWhy) {
  ::setenv("DO_NOT_TRACK", "1", 1);
  auto window = Start();
  for (const char* name : {"usageNoticeSwitch", "usageSwitch"}) {
    SCOPED_TRACE(name);
    auto* box = Find<QCheckBox>(*window, name);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("DO_NOT_TRACK")));
  }
  QTest::mouseClick(Find(*window, "usageNoticeSwitch"), Qt::LeftButton);
  EXPECT_EQ(Stored(kUsageReportsValueName), L"(none)");  // nothing changed
}

}  // namespace
