// The window's own frame: no title bar from the window manager, moved by
// dragging its caption bar and by nothing else.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <ostream>

#include <ui/main_dlg.h>
#include <ui/qt_notify_center.h>

// Positions in failure messages as numbers.
inline void PrintTo(const QPoint& point, std::ostream* out) {
  *out << "(" << point.x() << ", " << point.y() << ")";
}

namespace {

class WindowFrame : public ::testing::Test {
 protected:
  CQtNotifyCenter center_;
  Action::CActionFactory factory_;
};

TEST_F(WindowFrame, FramelessTopLevelWindow) {
  CMainDlg window;
  ASSERT_TRUE(window.Create());
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(window.isWindow());
  // A tool or splash window would leave the taskbar.
  EXPECT_EQ(window.windowType(), Qt::Window);
}

TEST_F(WindowFrame, DraggingMovesTheWindowOnlyFromTheCaptionBar) {
  struct Case {
    const char* pressed;  // the child the drag starts on
    QPoint at;            // where on it
    bool moves;
  };
  const Case cases[] = {
      {"captionBar", {300, 25}, true},      // the bar's empty middle
      {"captionTitle", {20, 25}, true},     // the title on it
      {"captionSubtitle", {30, 25}, true},  // the subtitle on it
      {"img_logo", {15, 15}, true},         // the logo on it
      {"img_banner", {400, 150}, false},    // the picture below the bar
      {"introLine1", {400, 10}, false},     // the text under the banner
      {"infoPanel", {100, 200}, false},     // the panel on the install page
      {"btnkefu", {50, 14}, false},         // a button on the bar keeps its press
  };
  const QPoint delta(37, -21);
  for (const Case& c : cases) {
    CMainDlg window;
    ASSERT_TRUE(window.Create());
    window.move(200, 150);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* target = window.findChild<QWidget*>(QLatin1String(c.pressed));
    ASSERT_NE(target, nullptr) << c.pressed;
    const QPoint before = window.pos();
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, c.at);
    QTest::mouseMove(target, c.at + delta);
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, c.at + delta);
    QApplication::processEvents();
    EXPECT_EQ(window.pos(), c.moves ? before + delta : before) << c.pressed;
  }
}

TEST_F(WindowFrame, ButtonsOnTheCaptionBarStillClick) {
  CMainDlg window;
  ASSERT_TRUE(window.Create());
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* close = window.findChild<QWidget*>(QStringLiteral("btn_close"));
  ASSERT_NE(close, nullptr);
  QTest::mouseClick(close, Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
