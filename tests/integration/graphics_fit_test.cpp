// The install form's graphics card line and the model list's marks, from a
// detection run on a worker against a made-up machine.
#include <gtest/gtest.h>

#include <install/model_fit.h>
#include <platform/os_encoding.h>
#include <platform/utf.h>
#include <platform/os_info.h>
#include <tests/integration/workflow_setups.h>
#include <tests/support/engine_harness.h>
#include <tests/support/temp_home.h>

namespace {

class GraphicsFit : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::GraphicsProbe probe;
    probe.sysRoot = (home_.root() / "sys").string();
    probe.procRoot = (home_.root() / "proc").string();
    probe.nvidiaSmi = platform::WideToOsNarrow(
        platform::WidePath(workflow::OneCardNvidiaSmi(home_.root() / "bin")));
    probe.timeoutMs = 10000;
    harness_.OnUI([&] {
      harness_.engine().graphicsProbe = probe;
      harness_.view().selectedModel = 2;
      harness_.engine().ShowModelNeeds(2);
    });
  }

  bool CardLineSet() {
    return harness_.OnUI([&] { return harness_.view().state.form.cardKnown; });
  }
  std::wstring CardLine() {
    return harness_.OnUI([&] { return harness_.view().state.form.cardLine; });
  }
  std::wstring Fit(int row) {
    return harness_.OnUI([&] { return harness_.view().Row(row).fit; });
  }

  TempHome home_;
  EngineHarness harness_;
};

TEST_F(GraphicsFit, LineAndRowMarksFollowTheDetectedCard) {
  // Nothing is said of the card before it is known.
  EXPECT_FALSE(CardLineSet());
  EXPECT_TRUE(Fit(1).empty());
  harness_.OnUI([&] { harness_.engine().StartGraphicsDetection(); });
  ASSERT_TRUE(
      harness_.WaitUntil([](RecordingView& view) { return view.state.form.cardKnown; }));

  EXPECT_EQ(CardLine(), L"显卡 NVIDIA GeForce RTX 3060 12 GB：可用显卡加速");
  const std::uint64_t memory = platform::TotalMemoryBytes();
  for (int row = 1; row <= 7; ++row) {
    SCOPED_TRACE(row);
    // Up to 14B on a 12 GB card; the rest as this machine's memory allows.
    const ModelFit fit = row <= 4 ? ModelFit::GraphicsCard : FitForListIndex(row - 1, 0, memory);
    EXPECT_EQ(Fit(row), ModelFitTag(fit));
    harness_.OnUI([&] {
      // An unknown fit is no mark at all.
      EXPECT_EQ(!harness_.view().Row(row).fit.empty(), fit != ModelFit::Unknown);
      EXPECT_EQ(harness_.view().Row(row).fitWarning, fit == ModelFit::TooLarge);
    });
  }

  // Another model: the line weighs the card against it.
  harness_.OnUI([&] { harness_.engine().ShowModelNeeds(4); });
  const std::wstring line = CardLine();
  EXPECT_EQ(line.rfind(L"显卡 NVIDIA GeForce RTX 3060 12 GB", 0), 0u) << line;
  EXPECT_NE(line.find(L"显存不足"), std::wstring::npos) << line;

  // Detection runs once: a later set changes nothing.
  harness_.OnUI([&] {
    harness_.engine().ShowGraphicsCards({});
    harness_.engine().ShowModelNeeds(2);
  });
  EXPECT_EQ(CardLine(), L"显卡 NVIDIA GeForce RTX 3060 12 GB：可用显卡加速");
  EXPECT_EQ(Fit(1), L"显卡可运行");
}

TEST_F(GraphicsFit, WithoutACardTheModelRunsOnTheProcessor) {
  harness_.OnUI([&] {
    harness_.engine().graphicsProbe.nvidiaSmi = (home_.root() / "bin/missing").string();
    harness_.engine().ShowModelNeeds(0);
    harness_.engine().StartGraphicsDetection();
  });
  ASSERT_TRUE(
      harness_.WaitUntil([](RecordingView& view) { return view.state.form.cardKnown; }));
  const ModelFit fit = FitForListIndex(0, 0, platform::TotalMemoryBytes());
  ASSERT_NE(fit, ModelFit::GraphicsCard);
  EXPECT_EQ(CardLine(), GraphicsCardLine(nullptr, fit));
  if (fit == ModelFit::MainMemory) {
    EXPECT_EQ(CardLine(), L"将使用 CPU 运行，速度较慢");
  }
  EXPECT_EQ(Fit(1), ModelFitTag(fit));
}

// A card that holds the model whole outweighs too little main memory: the
// memory line does not warn and a row's download does not ask about memory.
// Without a card both do. The largest model asks more memory than this
// machine has; a made-up card large enough holds it.
TEST_F(GraphicsFit, ACardThatHoldsTheModelOutweighsMainMemory) {
  constexpr int kLargest = 6;
  const std::uint64_t memory = platform::TotalMemoryBytes();
  ASSERT_EQ(FitForListIndex(kLargest, 0, memory), ModelFit::TooLarge);
  platform::GraphicsCard big;
  big.name = "Made-up accelerator";
  big.memoryBytes = 600ull << 30;
  ASSERT_EQ(FitForListIndex(kLargest, big.memoryBytes, memory), ModelFit::GraphicsCard);
  struct Case {
    std::vector<platform::GraphicsCard> cards;
    bool memoryWarned;
  };
  for (const Case& c : {Case{{big}, false}, Case{{}, true}}) {
    SCOPED_TRACE(c.cards.size());
    EngineHarness harness;
    harness.OnUI([&] {
      harness.view().answerContinue = false;
      harness.view().selectedModel = kLargest;
      harness.engine().ShowGraphicsCards(c.cards);
      harness.engine().ShowModelNeeds(kLargest);
      harness.engine().OnModelRowDownloadClick(kLargest + 1);
    });
    harness.OnUI([&] {
      RecordingView& view = harness.view();
      const std::wstring& line = view.state.form.memoryLine;
      EXPECT_EQ(view.state.form.memoryWarning, c.memoryWarned);
      EXPECT_EQ(line.find(L"内存不足") != std::wstring::npos, c.memoryWarned)
          << platform::WideToUtf8(line);
      // The disk may be too small either way; the memory is asked about only
      // without the card.
      const std::wstring asked = view.questions.empty() ? std::wstring() : view.questions.back();
      EXPECT_EQ(asked.find(L"建议内存") != std::wstring::npos, c.memoryWarned) << asked;
    });
  }
}

}  // namespace
