#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <string>

#include <catalogue/model_catalogue.h>

namespace {

// The number that follows label in text ("内存 8GB+" → 8), in bytes; 0 when
// the label is not there.
std::uint64_t GigabytesAfter(std::wstring_view text, std::wstring_view label) {
  const std::size_t at = text.find(label);
  if (at == std::wstring_view::npos) return 0;
  const std::wstring rest(text.substr(at + label.size()));
  return static_cast<std::uint64_t>(
      std::llround(std::wcstod(rest.c_str(), nullptr) * 1073741824.0));
}

TEST(Catalogue, ThreeNumberingsAgree) {
  for (const ModelEntry& entry : ModelCatalogue()) {
    EXPECT_EQ(entry.row, entry.listIndex + 1);
    EXPECT_EQ(ModelTagForListIndex(entry.listIndex), entry.tag);
    EXPECT_EQ(ModelTagForRow(entry.row), entry.tag);
    EXPECT_EQ(ModelTagForNumber(std::to_string(entry.row)), entry.tag);
    // A tag maps back to its own number.
    EXPECT_EQ(ModelIndexOf(entry.tag), std::to_string(entry.row)) << entry.row;
  }
  EXPECT_EQ(ModelTagForListIndex(0), L"deepseek-r1:1.5b");
  EXPECT_EQ(ModelTagForRow(1), L"deepseek-r1:1.5b");
  EXPECT_EQ(ModelTagForListIndex(6), L"deepseek-r1:671b");
}

TEST(Catalogue, OutOfRangeGivesEmpty) {
  EXPECT_EQ(ModelTagForListIndex(7), L"");
  EXPECT_EQ(ModelTagForListIndex(-1), L"");
  EXPECT_EQ(ModelTagForRow(0), L"");
  EXPECT_EQ(ModelTagForRow(8), L"");
  EXPECT_EQ(ModelTagForNumber(""), L"");
  EXPECT_EQ(ModelTagForNumber("01"), L"");
  EXPECT_EQ(RequirementTextForListIndex(7), L"");
  EXPECT_EQ(SizeTextForListIndex(-1), L"");
}

TEST(Catalogue, TextsAsShown) {
  EXPECT_EQ(RequirementTextForListIndex(6), L"大小 404.00GB | CPU 32核 | 内存 512GB+ | 显示 32GB+");
  EXPECT_EQ(SizeTextForListIndex(3), L"9.0GB");
  EXPECT_EQ(SizeTextForListIndex(4), L"20GB");
  EXPECT_EQ(ModelCatalogue()[0].listItemText, L"DeepSeek - R1 - 1.5B (推荐)");
  for (const ModelEntry& entry : ModelCatalogue()) {
    EXPECT_NE(std::wstring(entry.requirementText).find(L"内存"), std::wstring::npos);
  }
}

class CatalogueEntry : public testing::TestWithParam<int> {};

// The texts are shown, the numbers decide: both must say the same of each model.
TEST_P(CatalogueEntry, NumbersAgreeWithTheTextsShown) {
  const ModelEntry& entry = ModelCatalogue()[static_cast<std::size_t>(GetParam())];
  EXPECT_GT(entry.downloadBytes, 0u);
  EXPECT_GT(entry.recommendedMemoryBytes, 0u);
  EXPECT_EQ(GigabytesAfter(entry.sizeText, L""), entry.downloadBytes) << "size text";
  EXPECT_EQ(GigabytesAfter(entry.requirementText, L"大小 "), entry.downloadBytes)
      << "requirement text";
  EXPECT_EQ(GigabytesAfter(entry.requirementText, L"内存 "), entry.recommendedMemoryBytes);
}

INSTANTIATE_TEST_SUITE_P(SevenModels, CatalogueEntry, testing::Range(0, kModelCount),
                         [](const testing::TestParamInfo<int>& each) {
                           return "ListIndex" + std::to_string(each.param);
                         });

TEST(Catalogue, ModelIndexOfUsesTheFirstSizeMarkerFound) {
  EXPECT_EQ(ModelIndexOf(L"llama3:8b"), "3");  // any family of that size
  EXPECT_EQ(ModelIndexOf(L"qwen2.5:7b-instruct"), "2");
  EXPECT_EQ(ModelIndexOf(L"deepseek-r1:latest"), "");
  EXPECT_EQ(ModelIndexOf(L""), "");
  // "1.5b" is tested before "7b", so a name with both maps to "1".
  EXPECT_EQ(ModelIndexOf(L"mix-7b-1.5b"), "1");
}

}  // namespace
