#include <gtest/gtest.h>

#include <install/model_fit.h>

namespace {

constexpr std::uint64_t kMiB = 1024ull * 1024;
constexpr std::uint64_t kGiB = 1024ull * kMiB;

struct FitCase {
  const char* name;
  std::uint64_t modelBytes, memoryNeed, cardMemory, mainMemory;
  ModelFit expected;
};

class ModelFitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(ModelFitTest, WhereTheModelRuns) {
  const FitCase& c = GetParam();
  EXPECT_EQ(FitOfModel(c.modelBytes, c.memoryNeed, c.cardMemory, c.mainMemory), c.expected);
}

// 9 GiB of weights take 9 + 1.8 GiB and the 457 MiB the runner keeps free.
constexpr std::uint64_t kNeedOf9GiB = 9 * kGiB + 9 * kGiB / 5 + 457 * kMiB;

INSTANTIATE_TEST_SUITE_P(
    Machines, ModelFitTest,
    ::testing::Values(
        FitCase{"SmallModelOnACard", kGiB, 8 * kGiB, 12 * kGiB, 16 * kGiB, ModelFit::GraphicsCard},
        FitCase{"CardExactlyLargeEnough", 9 * kGiB, 32 * kGiB, kNeedOf9GiB, 0,
                ModelFit::GraphicsCard},
        FitCase{"CardOneByteShort", 9 * kGiB, 32 * kGiB, kNeedOf9GiB - 1, 32 * kGiB,
                ModelFit::MainMemory},
        FitCase{"CardHoldsTheWeightsButNotTheCache", 9 * kGiB, 8 * kGiB, 10 * kGiB, 16 * kGiB,
                ModelFit::MainMemory},
        FitCase{"NoCardEnoughMemory", 4 * kGiB, 8 * kGiB, 0, 8 * kGiB, ModelFit::MainMemory},
        FitCase{"NoCardMemoryWithinTheKernelsShare", 4 * kGiB, 8 * kGiB, 0, 7900 * kMiB,
                ModelFit::MainMemory},
        FitCase{"NoCardTooLittleMemory", 4 * kGiB, 8 * kGiB, 0, 7 * kGiB, ModelFit::TooLarge},
        FitCase{"SmallCardTooLittleMemory", 404 * kGiB, 512 * kGiB, 24 * kGiB, 64 * kGiB,
                ModelFit::TooLarge},
        FitCase{"CardHoldsItWhateverTheMemory", kGiB, 8 * kGiB, 4 * kGiB, 2 * kGiB,
                ModelFit::GraphicsCard},
        FitCase{"NothingKnown", kGiB, 8 * kGiB, 0, 0, ModelFit::Unknown},
        FitCase{"NoModelSize", 0, 8 * kGiB, 24 * kGiB, 16 * kGiB, ModelFit::MainMemory}),
    [](const ::testing::TestParamInfo<FitCase>& each) { return std::string(each.param.name); });

TEST(ModelFit, CatalogueModelsOnA12GiBCard) {
  // Up to 14B on the card; 32B and larger need main memory.
  const ModelFit expected[] = {ModelFit::GraphicsCard, ModelFit::GraphicsCard,
                               ModelFit::GraphicsCard, ModelFit::GraphicsCard,
                               ModelFit::MainMemory,   ModelFit::MainMemory,
                               ModelFit::TooLarge};
  for (int index = 0; index < 7; ++index) {
    EXPECT_EQ(FitForListIndex(index, 12 * kGiB, 64 * kGiB), expected[index]) << index;
  }
  EXPECT_EQ(FitForListIndex(7, 12 * kGiB, 64 * kGiB), ModelFit::Unknown);
}

TEST(ModelFit, LargestCardIsTheOneWithTheMostMemory) {
  EXPECT_EQ(LargestGraphicsCard({}), nullptr);
  std::vector<platform::GraphicsCard> cards(3);
  cards[0].name = "Intel";
  cards[1].name = "AMD";
  cards[1].memoryBytes = 8 * kGiB;
  cards[2].name = "NVIDIA";
  cards[2].memoryBytes = 8 * kGiB;
  EXPECT_EQ(LargestGraphicsCard(cards), &cards[1]);
  cards.resize(1);
  EXPECT_EQ(LargestGraphicsCard(cards), &cards[0]);
}

TEST(ModelFit, TextsForTheFormAndTheRows) {
  platform::GraphicsCard card;
  card.name = "NVIDIA GeForce RTX 3060";
  card.memoryBytes = 12288 * kMiB;
  platform::GraphicsCard shared;
  shared.vendor = platform::GraphicsVendor::Intel;
  shared.name = "Intel";
  platform::GraphicsCard longName = card;
  longName.name = std::string(60, 'N');
  struct {
    const platform::GraphicsCard* card;
    ModelFit fit;
    std::wstring line;
  } const cases[] = {
      {&card, ModelFit::GraphicsCard, L"显卡 NVIDIA GeForce RTX 3060 12 GB：可用显卡加速"},
      {&card, ModelFit::MainMemory,
       L"显卡 NVIDIA GeForce RTX 3060 12 GB 显存不足，将使用 CPU 运行，速度较慢"},
      {&card, ModelFit::TooLarge, L"显卡 NVIDIA GeForce RTX 3060 12 GB：显存不足"},
      {&card, ModelFit::Unknown, L""},
      {&shared, ModelFit::MainMemory, L"将使用 CPU 运行，速度较慢"},
      {&shared, ModelFit::TooLarge, L""},
      {nullptr, ModelFit::MainMemory, L"将使用 CPU 运行，速度较慢"},
      {nullptr, ModelFit::TooLarge, L""},
      {&longName, ModelFit::GraphicsCard,
       L"显卡 " + std::wstring(29, L'N') + L"... 12 GB：可用显卡加速"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GraphicsCardLine(c.card, c.fit), c.line) << static_cast<int>(c.fit);
  }
  EXPECT_EQ(ModelFitTag(ModelFit::GraphicsCard), L"显卡可运行");
  EXPECT_EQ(ModelFitTag(ModelFit::MainMemory), L"仅内存可运行");
  EXPECT_EQ(ModelFitTag(ModelFit::TooLarge), L"内存不足");
  EXPECT_EQ(ModelFitTag(ModelFit::Unknown), L"");
}

}  // namespace
