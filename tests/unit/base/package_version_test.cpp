#include <gtest/gtest.h>

#include <base/package_version.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

TEST(PackageVersion, OnlyDottedNumbersAreVersions) {
  for (const auto& [text, valid] : std::vector<std::pair<std::string, bool>>{
           {"1", true}, {"1.10.2", true}, {"007.0", true},
           {"", false}, {"1.", false}, {".1", false}, {"1..2", false},
           {"1.2a", false}, {"v1.2", false}, {"1 .2", false}, {"-1", false},
           {std::string(64, '1'), true}, {std::string(65, '1'), false},
       }) {
    EXPECT_EQ(IsPackageVersion(text), valid) << text;
  }
}

TEST(PackageVersion, ComparesNumberByNumber) {
  for (const auto& [a, b, order] : std::vector<std::tuple<std::string, std::string, int>>{
           {"1.10", "1.9", 1}, {"1.9", "1.10", -1}, {"1.2", "1.2.0", 0}, {"1.2.0.1", "1.2", 1},
           {"2", "10", -1}, {"01.2", "1.02", 0}, {"99999999999999999999", "99999999999999999998", 1},
           {"0", "0.0.0", 0}, {"3.0", "2.99.99", 1},
       }) {
    EXPECT_EQ(ComparePackageVersions(a, b), order) << a << " vs " << b;
  }
}

}  // namespace
