// What only POSIX shows: a reader keeps the file it opened while the name
// moves on, and a folder may be listable yet not searchable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <base/file_helpers.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

class FileHelpersPosixTest : public ::testing::Test {
 protected:
  std::wstring W(const fs::path& path) const { return platform::WidePath(path); }
  TempHome home_;
};

TEST_F(FileHelpersPosixTest, AReaderOfTheOldFileKeepsReadingIt) {
  const fs::path file = home_.root() / "config.json";
  std::ofstream(file) << "{\"settings\":{}}";
  std::ifstream reader(file);
  ASSERT_TRUE(WriteWholeFile(W(file), "{}"));
  // A reader of the old file never sees it cut short or half rewritten.
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "{\"settings\":{}}");
}

TEST_F(FileHelpersPosixTest, FileInAFolderWeCannotSearchIsFoundThroughItsListing) {
  if (::geteuid() == 0) {
    // root searches every folder; examine the fallback as another user would.
    GTEST_SKIP() << "permissions do not bind root";
  }
  const fs::path dir = home_.root() / "locked";
  fs::create_directories(dir);
  std::ofstream(dir / "setup") << "x";
  ::chmod(dir.c_str(), S_IRUSR);  // listable, not searchable
  EXPECT_TRUE(FileExists(W(dir / "setup")));
  ::chmod(dir.c_str(), S_IRWXU);
}

}  // namespace
