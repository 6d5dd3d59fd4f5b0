#include <gtest/gtest.h>

#include <install/space_text.h>

namespace {

TEST(SpaceText, FreeSpaceInTheLargestUnitAboveOne) {
  EXPECT_EQ(FormatFreeSpace(3ull << 29), L"1.50 GB");
  EXPECT_EQ(FormatFreeSpace(1ull << 30), L"1024.00 MB");  // exactly one is not above one
  EXPECT_EQ(FormatFreeSpace(512ull << 10), L"512.00 KB");
  EXPECT_EQ(FormatFreeSpace(1000), L"1000 B");
  EXPECT_EQ(FormatFreeSpace(0), L"0 B");
}

TEST(SpaceText, ModelNeedsFromTheCatalogue) {
  EXPECT_EQ(RequiredBytesForListIndex(0), 1181116006u);  // 1.1 GiB
  EXPECT_EQ(RequiredBytesForListIndex(4), 20ull << 30);
  EXPECT_EQ(RequiredBytesForListIndex(7), 0u);
  EXPECT_EQ(RequiredMemoryForListIndex(0), 8ull << 30);
  EXPECT_EQ(RequiredMemoryForListIndex(6), 512ull << 30);
  EXPECT_EQ(RequiredMemoryForListIndex(-1), 0u);
}

TEST(SpaceText, RequirementSplitAtMemory) {
  const auto [first, second] =
      SplitRequirementText(L"大小 1.10GB | CPU 4核 | 内存 8GB+ | 显示 非必须");
  EXPECT_EQ(first, L"大小 1.10GB | CPU 4核 ");
  EXPECT_EQ(second, L"内存 8GB+ | 显示 非必须");
  EXPECT_EQ(SplitRequirementText(L"内存 8GB+").first, L"");
  EXPECT_EQ(SplitRequirementText(L"大小 1GB").second, L"");
}

}  // namespace
