// The window by keyboard alone: Tab visits each page's controls in reading
// order (and stays inside an open overlay), every stop has an accessible
// name and description and wears the focus ring, Enter and Space press,
// Escape closes the overlay as its close button does.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QStackedWidget>
#include <QTest>

#include <ui/controls/gif_player.h>
#include <ui/keyboard_access.h>
#include <ui/main_dlg.h>
#include <ui/message_box.h>
#include <ui/qt_notify_center.h>
#include <work/action_factory.h>

namespace {

QStringList Names(const QList<QWidget*>& widgets) {
  QStringList names;
  for (const QWidget* widget : widgets) names << widget->objectName();
  return names;
}

class KeyboardAccess : public ::testing::Test {
 protected:
  KeyboardAccess() {
    // A message would wait for a person: a test that meets one fails.
    SetMessageBoxHandler([](const QString& text, const QString&, MessageIcon) {
      ADD_FAILURE() << text.toStdString();
    });
    EXPECT_TRUE(window_.Create());
    window_.show();
    access_ = window_.findChild<CKeyboardAccess*>();
    EXPECT_NE(access_, nullptr);
  }
  ~KeyboardAccess() override {
    CMainDlg::SetFolderPickerForTesting(nullptr);
    SetMessageBoxHandler(nullptr);
  }

  QWidget* Find(const char* name) {
    QWidget* child = window_.findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  void SelectMainPage(int page) {
    if (auto* pages = qobject_cast<QStackedWidget*>(Find("tab_pages2"))) {
      pages->setCurrentIndex(page);
    }
  }
  // The key goes where a person's would: to the focused control.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focused = window_.focusWidget();
    QTest::keyClick(focused != nullptr ? focused : &window_, key, modifiers);
  }
  QString Focused() {
    return window_.focusWidget() != nullptr ? window_.focusWidget()->objectName() : QString();
  }
  // Tabs round the page once from its first stop; the stops in the order met.
  QStringList WalkWithTab(int stops) {
    QStringList met;
    for (int i = 0; i < stops; ++i) {
      Press(Qt::Key_Tab);
      met << Focused();
    }
    return met;
  }

  CQtNotifyCenter center_;
  Action::CActionFactory factory_;
  CMainDlg window_;
  CKeyboardAccess* access_ = nullptr;
};

struct PageCase {
  const char* label;
  int mainPage;     // the page of "tab_pages2"
  int overlayPage;  // -1: no overlay
  QStringList order;
};

TEST_F(KeyboardAccess, EachPageHasNamedFocusableStopsInReadingOrder) {
  const QStringList caption = {"btnLanguage", "btnManage", "btnkefu", "btn_close"};
  const std::vector<PageCase> cases = {
      {"install page", 0, -1,
       caption + QStringList{"cbx_Model", "InstPath", "btnSelDir", "btnLocalPkg",
                             "imgNoDownDeekSeek", "usageSwitch"}},
      {"ready page", 1, -1,
       caption +
           QStringList{"imgOnceTiYan", "imgDownOtherModel", "imgUserTutorial", "usageSwitch"}},
      {"progress overlay", 0, static_cast<int>(OverlayPage::Progress), {"btn_TipClose1"}},
      {"model list",
       1,
       static_cast<int>(OverlayPage::ModelList),
       {"adked_btn1", "adked_btn2", "adked_btn3", "adked_btn4", "adked_btn5", "adked_btn6",
        "adked_btn7", "btn_TipClose1"}},
  };
  for (const PageCase& page : cases) {
    SCOPED_TRACE(page.label);
    window_.HideOverlay();
    SelectMainPage(page.mainPage);
    if (page.overlayPage >= 0) window_.ShowOverlay(static_cast<OverlayPage>(page.overlayPage));
    const QList<QWidget*> chain = access_->TabChain();
    EXPECT_EQ(Names(chain), page.order);
    for (QWidget* stop : chain) {
      SCOPED_TRACE(stop->objectName().toStdString());
      EXPECT_FALSE(stop->accessibleName().isEmpty());
      EXPECT_FALSE(stop->accessibleDescription().isEmpty());
      EXPECT_NE(stop->focusPolicy() & Qt::TabFocus, 0);
    }
    // Walked with Tab from the last stop: every stop once, then round again.
    chain.back()->setFocus();
    EXPECT_EQ(WalkWithTab(static_cast<int>(chain.size()) + 1),
              page.order + QStringList{page.order.front()});
    // Shift+Tab walks back.
    Press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(Focused(), page.order.back());
    // The focused stop wears the ring, just outside it.
    QWidget* ring = access_->FocusRing();
    QWidget* focused = window_.focusWidget();
    ASSERT_NE(focused, nullptr);
    EXPECT_TRUE(ring->isVisible());
    EXPECT_EQ(ring->parentWidget(), focused->parentWidget());
    EXPECT_TRUE(ring->geometry().contains(focused->geometry()));
    EXPECT_NE(ring->geometry(), focused->geometry());
  }
}

TEST_F(KeyboardAccess, ImageOnlyControlsAreNamedInTheAccessibilityContext) {
  // Their pictures say what they do; the names must say it to a reader.
  for (const char* name : {"btn_close", "btn_TipClose1", "imgNoDownDeekSeek", "imgOnceTiYan",
                           "imgDownOtherModel", "imgUserTutorial"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(Find(name)->accessibleName().isEmpty());
  }
  EXPECT_EQ(Find("btn_close")->accessibleName(), QStringLiteral("关闭"));
  EXPECT_EQ(Find("adked_btn2")->accessibleName(), QStringLiteral("下载 DeepSeek - R1 - 7B"));
}

TEST_F(KeyboardAccess, EnterPressesAButtonAndTheInstallCard) {
  int picks = 0;
  CMainDlg::SetFolderPickerForTesting([&picks](const QString&) {
    ++picks;
    return QString();
  });
  Find("btnSelDir")->setFocus();
  Press(Qt::Key_Return);
  EXPECT_EQ(picks, 1);
  Press(Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(picks, 2);

  // A player like the install card, on its own: the window's would start
  // an installation.
  SGifPlayer card;
  EXPECT_NE(card.focusPolicy() & Qt::TabFocus, 0);
  int clicks = 0;
  QObject::connect(&card, &SGifPlayer::clicked, [&clicks] { ++clicks; });
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    QTest::keyClick(&card, key);
  }
  EXPECT_EQ(clicks, 3);
  QTest::keyClick(&card, Qt::Key_A);
  EXPECT_EQ(clicks, 3);
}

TEST_F(KeyboardAccess, EscapeClosesTheModelListAndTheFocusReturns) {
  SelectMainPage(1);
  Find("imgDownOtherModel")->setFocus();
  window_.ShowOverlay(OverlayPage::ModelList);
  // The first row's button takes the focus once the overlay is up.
  ASSERT_TRUE(QTest::qWaitFor([this] { return Focused() == "adked_btn1"; }, 5000));
  Press(Qt::Key_Escape);
  EXPECT_FALSE(Find("tab_Tip")->isVisibleTo(&window_));
  ASSERT_TRUE(QTest::qWaitFor([this] { return Focused() == "imgDownOtherModel"; }, 5000));
  // Without an overlay Escape does nothing.
  Press(Qt::Key_Escape);
  EXPECT_TRUE(window_.isVisible());
}

TEST_F(KeyboardAccess, EscapeClosesTheManagePage) {
  window_.ShowOverlay(OverlayPage::Manage);
  ASSERT_TRUE(window_.OverlayShows(OverlayPage::Manage));
  const QList<QWidget*> chain = access_->TabChain();
  ASSERT_FALSE(chain.isEmpty());
  EXPECT_EQ(chain.back()->objectName(), QStringLiteral("btn_TipClose1"));
  for (QWidget* stop : chain) EXPECT_FALSE(stop->accessibleName().isEmpty());
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_.focusWidget() == chain.front(); }, 5000));
  Press(Qt::Key_Escape);
  EXPECT_FALSE(window_.OverlayShows(OverlayPage::Manage));
}

TEST_F(KeyboardAccess, TheRingShowsForKeysAndGoesWithAClick) {
  window_.activateWindow();
  if (!QTest::qWaitForWindowActive(&window_)) GTEST_SKIP() << "no active window here";
  // The window opens without a mark.
  EXPECT_FALSE(access_->FocusRing()->isVisible());
  Press(Qt::Key_Tab);
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(focused, nullptr);
  EXPECT_TRUE(access_->FocusRing()->isVisible());
  EXPECT_TRUE(access_->FocusRing()->geometry().contains(focused->geometry()));
  CMainDlg::SetFolderPickerForTesting([](const QString&) { return QString(); });
  QTest::mouseClick(Find("btnSelDir"), Qt::LeftButton);
  EXPECT_FALSE(access_->FocusRing()->isVisible());
}

TEST_F(KeyboardAccess, NamesAreTakenAgainWhenTheLanguageChanges) {
  QWidget* close = Find("btn_close");
  QWidget* repair = Find("btnManageRepair");  // named by its own text
  close->setAccessibleName(QStringLiteral("stale"));
  qobject_cast<QAbstractButton*>(repair)->setText(QStringLiteral("Repair"));
  QEvent change(QEvent::LanguageChange);
  QApplication::sendEvent(&window_, &change);
  EXPECT_EQ(close->accessibleName(), QStringLiteral("关闭"));
  EXPECT_EQ(repair->accessibleName(), QStringLiteral("Repair"));
}

}  // namespace
