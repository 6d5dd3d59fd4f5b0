// The Unix modes of the Info-ZIP archives (tests/data/zip/make_fixtures.sh)
// survive unpacking: Windows has no such modes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <package/package_extract.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/unit/package/infozip_fixtures.h>

namespace {

namespace fs = std::filesystem;

TEST(InfoZipFixtures, EveryVariantKeepsTheSetupRunnable) {
  for (const char* name : infozip_test::kArchives) {
    SCOPED_TRACE(name);
    TempHome home;
    const fs::path archive = home.root() / name;
    fs::copy_file(infozip_test::kFolder / name, archive);
    ExtractPackage(platform::WidePath(archive));  // the package password; unused when plain
    const fs::path root = home.root() / fs::path(name).stem() / "deepseek";
    struct stat info {};
    ASSERT_EQ(::stat((root / "deepseek/OllamaSetup").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
  }
}

}  // namespace
