// The presenter is the one place that knows which widget shows which part
// of the engine's state: each part, on the real layout.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QStackedWidget>
#include <QTimer>

#include <ui/main_dlg.h>
#include <ui/qt_notify_center.h>

namespace {

class WindowPresenterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Create());
    window_.show();
  }
  QWidget* Find(const char* name) {
    QWidget* child = window_.findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  bool Shown(const char* name) { return Find(name)->isVisibleTo(&window_); }
  QString Text(const char* name) { return qobject_cast<QLabel*>(Find(name))->text(); }
  QStackedWidget* Stack(const char* name) { return qobject_cast<QStackedWidget*>(Find(name)); }
  void Show(const EngineState& state) { window_.presenter().ShowState(state); }

  CQtNotifyCenter center_;
  Action::CActionFactory factory_;
  CMainDlg window_;
};

TEST_F(WindowPresenterTest, EachStageShowsItsOneImageAndTheReadyPageItsPage) {
  const struct {
    InstallStage stage;
    const char* image;
    int page;
  } cases[] = {{InstallStage::Idle, "imgNoDownDeekSeek", 0},
               {InstallStage::Package, "imgDownDeekSeek", 0},
               {InstallStage::Runner, "imgInstDeekSeek", 0},
               {InstallStage::Model, "imgDownModeling", 0},
               {InstallStage::Ready, "imgNoDownDeekSeek", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.image);
    EngineState state;
    state.stage = c.stage;
    state.cause = c.stage == InstallStage::Idle ? L"why" : L"";
    Show(state);
    for (const char* image :
         {"imgNoDownDeekSeek", "imgDownDeekSeek", "imgInstDeekSeek", "imgDownModeling"}) {
      EXPECT_EQ(Stack("tab_pages2")->currentIndex() == 0 && Shown(image),
                c.page == 0 && qstrcmp(image, c.image) == 0)
          << image;
    }
    EXPECT_EQ(Stack("tab_pages2")->currentIndex(), c.page);
    EXPECT_EQ(Shown("causeTxt"), c.stage == InstallStage::Idle);
  }
}

// The progress overlay follows the state, its timer runs only while the
// package's progress shows, and hiding it leaves the window's own pages be.
TEST_F(WindowPresenterTest, TheProgressOverlayAndItsTimerFollowTheState) {
  QTimer* timer = window_.findChild<QTimer*>(QString::number(CMainDlg::kProgressTimerId));
  ASSERT_NE(timer, nullptr);
  EngineState state;
  state.overlay.shown = ProgressOverlay::WaitingForService;
  state.overlay.title = L"waiting";
  Show(state);
  EXPECT_TRUE(Shown("tab_Tip"));
  EXPECT_EQ(Stack("tab_Tip")->currentIndex(), 0);
  EXPECT_EQ(Text("progTxt"), QStringLiteral("waiting"));
  EXPECT_FALSE(timer->isActive());
  state.overlay.shown = ProgressOverlay::Package;
  state.overlay.percentText = L"(42 %)";
  Show(state);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(Text("progTxtValue"), QStringLiteral("(42 %)"));
  state.overlay.shown = ProgressOverlay::Hidden;
  Show(state);
  EXPECT_FALSE(Shown("tab_Tip"));
  EXPECT_FALSE(timer->isActive());
  window_.ShowOverlay(OverlayPage::ModelList);
  Show(state);
  EXPECT_TRUE(window_.OverlayShows(OverlayPage::ModelList));
}

TEST_F(WindowPresenterTest, AModelRowShowsItsPullItsCauseAndItsFit) {
  EngineState state;
  state.stage = InstallStage::Ready;
  ModelRowState& row = state.rows[2];
  row.pulling = true;
  row.pull.line = L"42%";
  row.pull.full = L"42% of 4.7 GB";
  row.pull.progress.phase = PullPhase::Pulling;
  state.rows[0].installed = true;
  window_.ShowOverlay(OverlayPage::ModelList);
  Show(state);
  EXPECT_FALSE(Shown("adked_btn3"));
  EXPECT_TRUE(Shown("winProgress3"));
  EXPECT_EQ(Text("progress_value3"), QStringLiteral("42%"));
  EXPECT_EQ(Find("progress_value3")->toolTip(), QStringLiteral("42% of 4.7 GB"));
  EXPECT_FALSE(Find("adked_btn1")->isEnabled());
  EXPECT_TRUE(Find("adked_btn2")->isEnabled());
  EXPECT_FALSE(Shown("ai_fit3"));
  row.pulling = false;
  row.cause = L"failed";
  row.fit = L"fits";
  row.fitWarning = true;
  Show(state);
  EXPECT_TRUE(Shown("adked_btn3"));
  EXPECT_FALSE(Shown("winProgress3"));
  // The cause stands where the date was.
  EXPECT_TRUE(Shown("ai_cause3"));
  EXPECT_FALSE(Shown("ai_date3"));
  EXPECT_TRUE(Shown("ai_fit3"));
  EXPECT_FALSE(Find("ai_fit3")->styleSheet().isEmpty());
}

TEST_F(WindowPresenterTest, TheLocalPackageLineTryNowAndTheReadyModel) {
  EngineState state;
  state.localPackage = L"/media/usb/deepseek-offline.zip";
  state.localPackageLine = L"本地安装包：deepseek-offline.zip";
  state.tryNowBusy = true;
  state.readyModel = L"已下载 deepseek-r1:7b";
  Show(state);
  EXPECT_TRUE(Shown("localPkgTxt"));
  EXPECT_TRUE(Shown("btnDownloadPkg"));
  EXPECT_FALSE(Shown("btnLocalPkg"));
  EXPECT_EQ(Find("localPkgTxt")->toolTip(), QStringLiteral("/media/usb/deepseek-offline.zip"));
  EXPECT_FALSE(Find("imgOnceTiYan")->isEnabled());
  EXPECT_EQ(Text("modelstrTxt"), QStringLiteral("已下载 deepseek-r1:7b"));
  state.localPackage.clear();
  state.localPackageLine.clear();
  state.tryNowBusy = false;
  Show(state);
  EXPECT_FALSE(Shown("localPkgTxt"));
  EXPECT_TRUE(Shown("btnLocalPkg"));
  EXPECT_TRUE(Find("localPkgTxt")->toolTip().isEmpty());
  EXPECT_TRUE(Find("imgOnceTiYan")->isEnabled());
}

}  // namespace
