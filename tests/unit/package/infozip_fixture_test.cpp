// Archives made by Info-ZIP zip (tests/data/zip/make_fixtures.sh): what a
// real tool writes must unpack exactly.
#include <gtest/gtest.h>

#include <chrono>

#include <package/package_extract.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/unit/package/infozip_fixtures.h>

namespace {

namespace fs = std::filesystem;

TEST(InfoZipFixtures, EveryVariantUnpacksTheSameTree) {
  for (const char* name : infozip_test::kArchives) {
    SCOPED_TRACE(name);
    TempHome home;
    const fs::path archive = home.root() / name;
    fs::copy_file(infozip_test::kFolder / name, archive);
    ExtractPackage(platform::WidePath(archive));  // the package password; unused when plain
    const fs::path root = home.root() / fs::path(name).stem() / "deepseek";
    EXPECT_EQ(ReadTextFile(root / "deepseek/OllamaSetup"), "#!/bin/sh\necho ollama setup\n");
    EXPECT_EQ(ReadTextFile(root / "deepseek/Chatbox-1.9.8-Setup"), std::string(20000, 'c'));
    EXPECT_EQ(ReadTextFile(root / fs::path(u8"说明.txt")), "安装说明\n");
    const auto written =
        std::chrono::file_clock::to_sys(fs::last_write_time(root / "deepseek/OllamaSetup"));
    // 2025-02-14 10:00:00 UTC, from the UT field.
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(written.time_since_epoch()).count(),
              1739527200);
  }
}

}  // namespace
