#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QRadioButton>

#include <memory>
#include <vector>

#include <ui/controls/img_banner.h>
#include <ui/controls/skin_gif.h>
#include <ui/controls/skin_pool.h>
#include <ui/controls/static_ex.h>

#include "gif_bytes.h"

namespace {

class BannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto skin = std::make_unique<SSkinGif>();
    skin->LoadFromMemory(MakeGif(10, 6, {{Qt::white, 0}, {Qt::gray, 0}}));
    CSkinPool::Instance().Add("t_dot", std::move(skin));
    banner_.resize(300, 120);
    for (int i = 0; i < 3; ++i) banner_.addWidget(new QLabel(QString::number(i)));
  }
  void TearDown() override { CSkinPool::Instance().Remove("t_dot"); }

  QRadioButton* AddIndicator(int page) {
    auto* indicator = new QRadioButton;
    indicator->setGeometry(5, 5, 20, 20);
    banner_.SetIndicator(page, indicator);
    return indicator;
  }

  SImgBanner banner_;
};

TEST_F(BannerTest, ThreeIndicatorsSitCentredInARow) {
  banner_.setProperty("radioSkin", "t_dot");
  banner_.setProperty("RadioInter", "4dp");
  banner_.setProperty("RADIOTOP", "8");
  QRadioButton* a = AddIndicator(0);
  QRadioButton* b = AddIndicator(1);
  QRadioButton* c = AddIndicator(2);
  // total = 3 * 10 + 2 * 4 = 38, x0 = (300 - 38) / 2 = 131
  EXPECT_EQ(a->geometry(), QRect(131, 8, 10, 6));
  EXPECT_EQ(b->geometry(), QRect(145, 8, 10, 6));
  EXPECT_EQ(c->geometry(), QRect(159, 8, 10, 6));
  banner_.resize(301, 120);  // odd room: integer division
  EXPECT_EQ(a->geometry(), QRect(131, 8, 10, 6));
}

TEST_F(BannerTest, OneIndicatorOrNoSkinLeavesIndicatorsAlone) {
  banner_.setProperty("RadioSkin", "t_dot");
  QRadioButton* only = AddIndicator(0);
  EXPECT_EQ(only->geometry(), QRect(5, 5, 20, 20));

  SImgBanner bare;
  bare.resize(300, 120);
  auto* first = new QRadioButton;
  auto* second = new QRadioButton;
  first->setGeometry(1, 2, 3, 4);
  second->setGeometry(5, 6, 7, 8);
  bare.SetIndicator(0, first);
  bare.SetIndicator(1, second);
  EXPECT_EQ(first->geometry(), QRect(1, 2, 3, 4));
  EXPECT_EQ(second->geometry(), QRect(5, 6, 7, 8));
}

TEST_F(BannerTest, PagesAndIndicatorsFollowEachOther) {
  QRadioButton* a = AddIndicator(0);
  QRadioButton* b = AddIndicator(1);
  AddIndicator(2);
  b->click();
  EXPECT_EQ(banner_.currentIndex(), 1);
  banner_.setCurrentIndex(0);
  EXPECT_TRUE(a->isChecked());
  EXPECT_FALSE(b->isChecked());
  EXPECT_EQ(banner_.currentIndex(), 0);
}

TEST_F(BannerTest, AdvanceWrapsAndTheIntervalStartsTheTimer) {
  banner_.setCurrentIndex(1);
  banner_.Advance();
  EXPECT_EQ(banner_.currentIndex(), 2);
  banner_.Advance();
  EXPECT_EQ(banner_.currentIndex(), 0);
  EXPECT_FALSE(banner_.IsChangeTimerActive());
  banner_.setProperty("ChangeInter", "0x10");
  EXPECT_EQ(banner_.ChangeInterval(), 16);
  EXPECT_TRUE(banner_.IsChangeTimerActive());
  banner_.setProperty("changeinter", "0");
  EXPECT_FALSE(banner_.IsChangeTimerActive());
}

// Hovering a label that cuts its text shows the whole text as its tooltip;
// one that does not cut it gets none. Leaving changes nothing.
TEST(StaticExTest, HoverShowsTheWholeTextAsTooltipOnlyWhenCut) {
  struct Case {
    const char* name;
    bool endEllipsis;
    int width;
    QString text;
    bool tooltip;
  };
  const std::vector<Case> cases = {
      {"no ellipsis", false, 0, QStringLiteral("内存 8GB+ | 显示 非必须"), false},
      {"no ellipsis, narrow", false, 30, QStringLiteral("大小 404.00GB | CPU 32核"), false},
      {"ellipsis", true, 30, QStringLiteral("大小 404.00GB | CPU 32核 | 内存 512GB+"), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SStaticEx text;
    text.setProperty("endEllipsis", c.endEllipsis);
    if (c.width > 0) text.resize(c.width, 20);
    text.setText(c.text);
    EXPECT_TRUE(text.toolTip().isEmpty());  // nothing before the pointer comes
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&text, &enter);
    EXPECT_EQ(text.toolTip(), c.tooltip ? c.text : QString());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&text, &leave);
    EXPECT_EQ(text.toolTip(), c.tooltip ? c.text : QString());
  }
}

}  // namespace
