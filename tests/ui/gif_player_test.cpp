#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <climits>
#include <memory>

#include <ui/controls/gif_delays.h>
#include <ui/controls/gif_player.h>
#include <ui/controls/skin_gif.h>
#include <ui/controls/skin_pool.h>
#include <ui/controls/timeline.h>

#include "gif_bytes.h"

namespace {

// Ticks only when the test says so.
class ManualTicks : public ITickSource {
 public:
  explicit ManualTicks(bool* running) : running_(running) {}
  void Start(std::function<void()> onTick) override {
    onTick_ = std::move(onTick);
    *running_ = true;
  }
  void Stop() override { *running_ = false; }
  void Fire() {
    if (*running_ && onTick_) onTick_();
  }

 private:
  bool* running_;
  std::function<void()> onTick_;
};

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);

class GifPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.resize(100, 100);
    auto source = std::make_unique<ManualTicks>(&running_);
    ticks_ = source.get();
    timeline_ = CTimeline::Install(&host_, std::move(source));
    player_ = new SGifPlayer(&host_);
    player_->setGeometry(0, 0, 20, 20);
  }
  void TearDown() override {
    for (const char* name : {"t_three", "t_one", "t_zero"}) CSkinPool::Instance().Remove(name);
  }

  SSkinAni* AddSkin(const char* name, const std::vector<GifFrame>& frames) {
    auto skin = std::make_unique<SSkinGif>();
    skin->LoadFromMemory(MakeGif(8, 6, frames));
    SSkinAni* raw = skin.get();
    CSkinPool::Instance().Add(name, std::move(skin));
    return raw;
  }
  void Tick(int n) {
    for (int i = 0; i < n; ++i) ticks_->Fire();
  }
  QColor Shown() { return player_->grab().toImage().pixelColor(10, 10); }

  QWidget host_;
  bool running_ = false;
  ManualTicks* ticks_ = nullptr;
  CTimeline* timeline_ = nullptr;
  SGifPlayer* player_ = nullptr;  // owned by host_
};

TEST(SkinGif, DecodesFramesAndTheDelaysWritten) {
  SSkinGif skin;
  ASSERT_EQ(skin.LoadFromMemory(MakeGif(8, 6, {{kRed, 3}, {kGreen, 7}, {kBlue, 0}, {kRed, 1}})), 4);
  EXPECT_EQ(skin.FrameSize(), QSize(8, 6));
  EXPECT_EQ(skin.FrameDelay(0), 3);
  EXPECT_EQ(skin.FrameDelay(1), 7);
  EXPECT_EQ(skin.FrameDelay(2), 0);  // as written, where Qt's reader says 10
  EXPECT_EQ(skin.FrameDelay(3), 1);
  EXPECT_EQ(skin.FrameDelay(-1), 3);  // the current frame
  skin.SelectFrame(1);
  EXPECT_EQ(skin.FrameDelay(-1), 7);
  EXPECT_EQ(skin.FrameDelay(4), -1);
  EXPECT_EQ(skin.FrameDelay(-2), -1);
  EXPECT_TRUE(skin.IsClass("gif"));
  EXPECT_TRUE(skin.IsClass("SkinAni"));
}

TEST(SkinGif, DelaysOfACutShortFileStopAtTheCut) {
  const QByteArray whole = MakeGif(4, 4, {{kRed, 4}, {kGreen, 9}});
  EXPECT_EQ(ReadGifFrameDelays(whole), (std::vector<int>{4, 9}));
  EXPECT_EQ(ReadGifFrameDelays(whole.left(whole.size() - 8)), (std::vector<int>{4}));
  EXPECT_TRUE(ReadGifFrameDelays(QByteArray("\x89PNG")).empty());
}

TEST(SkinGif, SingleFrameAndUndecodableImages) {
  SSkinGif one;
  ASSERT_EQ(one.LoadFromMemory(MakeGif(4, 4, {{kRed, 5}})), 1);
  EXPECT_EQ(one.FrameDelay(0), -1);  // nothing to time
  one.SelectFrame(0);
  EXPECT_EQ(one.CurrentFrame(), 0);

  SSkinGif broken;
  EXPECT_EQ(broken.LoadFromMemory(QByteArray("GIF89a not really")), 0);
  EXPECT_EQ(broken.FrameSize(), QSize());
  SSkinGif missing;
  EXPECT_FALSE(missing.SetAttribute("src", "gif:no-such-image.gif"));
  EXPECT_EQ(missing.FrameCount(), 0);
}

TEST(SkinGif, ResourceReferences) {
  EXPECT_EQ(SSkinGif::ResourcePath("stage.gif"), ":/gif/stage.gif");
  EXPECT_EQ(SSkinGif::ResourcePath("img:banner.png"), ":/img/banner.png");
}

TEST(SkinAni, Attributes) {
  SSkinGif skin;
  EXPECT_TRUE(skin.SetAttribute("MARGIN", "1,2,3,4"));
  EXPECT_EQ(skin.Margins(), QMargins(1, 2, 3, 4));
  EXPECT_TRUE(skin.SetAttribute("margin2", "5dp,6,7px,8"));
  EXPECT_EQ(skin.Margins(), QMargins(5, 6, 7, 8));
  EXPECT_FALSE(skin.SetAttribute("margin2", "1,2,3"));
  EXPECT_EQ(skin.Margins(), QMargins(5, 6, 7, 8));
  EXPECT_EQ(skin.Filter(), SSkinAni::kFilterLow);
  EXPECT_TRUE(skin.SetAttribute("filterlevel", "High"));
  EXPECT_EQ(skin.Filter(), SSkinAni::kFilterHigh);
  EXPECT_FALSE(skin.SetAttribute("filterLevel", "best"));
  EXPECT_EQ(skin.Filter(), SSkinAni::kFilterHigh);
  EXPECT_TRUE(skin.SetAttribute("tile", "yes"));
  EXPECT_TRUE(skin.Tile());
  EXPECT_TRUE(skin.SetAttribute("tile", "FALSE"));
  EXPECT_FALSE(skin.Tile());
  EXPECT_FALSE(skin.SetAttribute("colour", "red"));
}

TEST_F(GifPlayerTest, NonRepeatingAnimationEndsOnceOnItsLastFrame) {
  AddSkin("t_three", {{kRed, 3}, {kGreen, 3}, {kBlue, 3}});  // 30 ms each
  player_->setProperty("Skin", "t_three");
  player_->setProperty("REPEAT", "false");
  std::vector<SGifPlayer*> ended;
  QObject::connect(player_, &SGifPlayer::gifPlayEnd,
                   [&](SGifPlayer* sender) { ended.push_back(sender); });
  host_.show();
  ASSERT_TRUE(player_->IsOnTimeline());
  EXPECT_EQ(Shown(), kRed);
  Tick(2);
  EXPECT_EQ(player_->CurrentFrame(), 0);
  Tick(1);
  EXPECT_EQ(player_->CurrentFrame(), 1);
  EXPECT_EQ(Shown(), kGreen);
  Tick(3);
  EXPECT_EQ(player_->CurrentFrame(), 2);
  EXPECT_TRUE(ended.empty());
  Tick(3);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0], player_);
  EXPECT_EQ(player_->RemainingDelay(), INT_MAX);
  Tick(500);
  EXPECT_EQ(ended.size(), 1u);
  EXPECT_EQ(player_->CurrentFrame(), 2);
  EXPECT_EQ(Shown(), kBlue);
}

TEST_F(GifPlayerTest, RepeatingAnimationWraps) {
  AddSkin("t_three", {{kRed, 1}, {kGreen, 1}, {kBlue, 1}});
  player_->setProperty("skin", "t_three");
  int ended = 0;
  QObject::connect(player_, &SGifPlayer::gifPlayEnd, [&] { ++ended; });
  host_.show();
  Tick(3);
  EXPECT_EQ(player_->CurrentFrame(), 0);
  Tick(1);
  EXPECT_EQ(player_->CurrentFrame(), 1);
  EXPECT_EQ(ended, 0);
}

TEST_F(GifPlayerTest, SingleFrameSkinIsShownButNeverTicks) {
  AddSkin("t_one", {{kGreen, 5}});
  player_->setProperty("skin", "t_one");
  host_.show();
  EXPECT_FALSE(player_->IsOnTimeline());
  EXPECT_EQ(timeline_->HandlerCount(), 0u);
  EXPECT_FALSE(running_);
  EXPECT_EQ(Shown(), kGreen);
  EXPECT_EQ(player_->sizeHint(), QSize(8, 6));
}

TEST_F(GifPlayerTest, ZeroDelaysAdvanceEvery90Ms) {
  AddSkin("t_zero", {{kRed, 0}, {kGreen, 0}, {kBlue, 0}});
  player_->setProperty("skin", "t_zero");
  host_.show();
  Tick(8);
  EXPECT_EQ(player_->CurrentFrame(), 0);
  Tick(1);
  EXPECT_EQ(player_->CurrentFrame(), 1);
  Tick(8);
  EXPECT_EQ(player_->CurrentFrame(), 1);
  Tick(1);
  EXPECT_EQ(player_->CurrentFrame(), 2);
}

TEST_F(GifPlayerTest, HidingTheHostPausesWithoutLosingTheFrame) {
  AddSkin("t_three", {{kRed, 2}, {kGreen, 2}, {kBlue, 2}});
  player_->setProperty("skin", "t_three");
  host_.show();
  Tick(2);
  ASSERT_EQ(player_->CurrentFrame(), 1);
  host_.hide();
  EXPECT_FALSE(player_->IsOnTimeline());
  EXPECT_FALSE(running_);  // nothing left to tick for
  timeline_->Tick();       // a tick already on its way does nothing
  player_->OnNextFrame();
  EXPECT_EQ(player_->CurrentFrame(), 1);
  host_.show();
  EXPECT_TRUE(player_->IsOnTimeline());
  EXPECT_EQ(player_->CurrentFrame(), 1);
  EXPECT_EQ(player_->RemainingDelay(), 20);  // the frame's whole delay again
  Tick(2);
  EXPECT_EQ(player_->CurrentFrame(), 2);
}

TEST_F(GifPlayerTest, HiddenPlayerLeavesTheTimelineAndDestroyedOneToo) {
  AddSkin("t_three", {{kRed, 2}, {kGreen, 2}, {kBlue, 2}});
  player_->setProperty("skin", "t_three");
  auto* second = new SGifPlayer(&host_);
  second->SetSkinByName("t_three");
  host_.show();
  EXPECT_EQ(timeline_->HandlerCount(), 2u);
  player_->hide();
  EXPECT_EQ(timeline_->HandlerCount(), 1u);
  Tick(2);
  EXPECT_EQ(player_->CurrentFrame(), 0);
  EXPECT_EQ(second->CurrentFrame(), 1);
  delete second;
  EXPECT_EQ(timeline_->HandlerCount(), 0u);
  EXPECT_FALSE(running_);
}

TEST_F(GifPlayerTest, SkinAttributeNeedsAPoolSkin) {
  EXPECT_FALSE(player_->SetSkinByName("no-such-skin"));
  EXPECT_EQ(player_->Skin(), nullptr);
  EXPECT_EQ(player_->sizeHint(), QSize(0, 0));
  SSkinAni* skin = AddSkin("t_one", {{kGreen, 5}});
  EXPECT_TRUE(player_->SetSkinByName("t_one"));
  EXPECT_EQ(player_->Skin(), skin);
}

}  // namespace
