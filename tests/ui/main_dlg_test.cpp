#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QScreen>

#include <ui/main_dlg.h>
#include <ui/qt_notify_center.h>

namespace {

class MainDlgTest : public ::testing::Test {
 protected:
  CQtNotifyCenter center_;
  Action::CActionFactory factory_;
};

TEST_F(MainDlgTest, FixedSizeTitleAndCloseButton) {
  CMainDlg window;
  ASSERT_TRUE(window.Create());
  EXPECT_EQ(window.size(), QSize(818, 618));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());  // not resizable
  EXPECT_FALSE(window.windowTitle().isEmpty());
  window.CenterWindow();
  window.show();
  const QRect area = window.screen()->availableGeometry();
  EXPECT_LE(std::abs(window.geometry().center().x() - area.center().x()), 1);
  auto* close = window.findChild<QAbstractButton*>("btn_close");
  ASSERT_NE(close, nullptr);
  close->click();
  EXPECT_FALSE(window.isVisible());
}

// The package events reach the window's engine while the window lives,
// and nothing once it has gone.
TEST_F(MainDlgTest, OwnsActionsAndItsEngineHearsEventsWhileItExists) {
  DeclareApplicationEvents(center_);
  Action::IActionCallback* owner = nullptr;
  {
    CMainDlg window;
    owner = &window;
    EXPECT_TRUE(factory_.IsRegistered(owner));
    EventDownModelChanged3 event;
    center_.FireEventSync(event);
    EXPECT_TRUE(event.handled);
  }
  EXPECT_FALSE(factory_.IsRegistered(owner));
  EventDownModelChanged3 event;
  center_.FireEventSync(event);  // nobody left to call
  EXPECT_FALSE(event.handled);
}

}  // namespace

#include <QTranslator>

namespace {

TEST(Resources, TranslationIsCompiledIn) {
  QTranslator translator;
  ASSERT_TRUE(translator.load(QStringLiteral(":/translations/lang_cn.qm")));
  EXPECT_EQ(translator.translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
  EXPECT_EQ(translator.translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
}

}  // namespace

#include <ui/controls/gif_player.h>

namespace {

// The model stage keeps its running stripes until the runner reports a
// share, then fills its bar to that share.
TEST(ModelStage, BarShowsThePercentOnceThePullReportsOne) {
  CQtNotifyCenter center;
  Action::CActionFactory factory;
  CMainDlg window;
  ASSERT_TRUE(window.Create());
  auto* stage = window.findChild<SGifPlayer*>(QStringLiteral("imgDownModeling"));
  ASSERT_NE(stage, nullptr);
  EXPECT_EQ(stage->MeterPercent(), -1);
  struct Step {
    PullPhase phase;
    int percent;
    int shown;  // -1: the artwork's busy bar
  };
  const Step steps[] = {
      {PullPhase::StartingRunner, 0, -1}, {PullPhase::Manifest, 0, -1},
      {PullPhase::Pulling, 0, 0},         {PullPhase::Pulling, 63, 63},
      {PullPhase::Pulling, 100, 100},     {PullPhase::Verifying, 100, -1},
      {PullPhase::Starting, 0, -1},
  };
  for (const Step& step : steps) {
    PullProgress progress;
    progress.phase = step.phase;
    progress.percent = step.percent;
    EngineState state = window.engine().state();
    state.stage = InstallStage::Model;
    state.installPull = CInstallEngine::DescribePull(0, "deepseek-r1:1.5b", progress);
    window.presenter().ShowState(state);
    EXPECT_EQ(stage->MeterPercent(), step.shown)
        << "phase " << static_cast<int>(step.phase) << " at " << step.percent << "%";
  }
}

}  // namespace
