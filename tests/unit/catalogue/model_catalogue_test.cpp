#include <gtest/gtest.h>

#include <catalogue/model_catalogue.h>

namespace {

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

TEST(Catalogue, ModelIndexOfUsesTheFirstSizeMarkerFound) {
  EXPECT_EQ(ModelIndexOf(L"llama3:8b"), "3");  // any family of that size
  EXPECT_EQ(ModelIndexOf(L"qwen2.5:7b-instruct"), "2");
  EXPECT_EQ(ModelIndexOf(L"deepseek-r1:latest"), "");
  EXPECT_EQ(ModelIndexOf(L""), "");
  // "1.5b" is tested before "7b", so a name with both maps to "1".
  EXPECT_EQ(ModelIndexOf(L"mix-7b-1.5b"), "1");
}

}  // namespace
