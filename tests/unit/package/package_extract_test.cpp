#include <gtest/gtest.h>

#include <fstream>

#include <package/package_extract.h>
#include <platform/os_encoding.h>
#include <tests/support/temp_home.h>
#include <tests/support/zip_builder.h>

namespace {

namespace fs = std::filesystem;

class PackageExtractTest : public ::testing::Test {
 protected:
  fs::path Write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  TempHome home_;
};

TEST_F(PackageExtractTest, PackageUnpacksBesideItselfWithThePassword) {
  std::vector<ZipBuildEntry> entries = {
      DirectoryEntry("deepseek/", 0), DirectoryEntry("deepseek/deepseek/", 0),
      FileEntry("deepseek/deepseek/OllamaSetup", "setup-1"),
      FileEntry("deepseek/deepseek/Chatbox-1.9.8-Setup", "setup-2")};
  for (auto& entry : entries) entry.password = kPackagePassword;
  const fs::path archive = Write(home_.root() / "安装 包" / "deepseek.zip", BuildZip(entries));
  const fs::path cwd = fs::current_path();
  const std::wstring remembered = ExtractPackage(platform::WidePath(archive));
  EXPECT_EQ(fs::current_path(), cwd);  // the process's folder is left alone
  const fs::path target = home_.root() / "安装 包" / "deepseek";
  const std::wstring separator(1, platform::PathSeparator());
  EXPECT_EQ(remembered, platform::WidePath(target) + separator + L"deepseek" + separator +
                            L"deepseek" + separator);
  EXPECT_EQ(ReadTextFile(target / "deepseek/deepseek/OllamaSetup"), "setup-1");
  EXPECT_EQ(ReadTextFile(target / "deepseek/deepseek/Chatbox-1.9.8-Setup"), "setup-2");
}

TEST_F(PackageExtractTest, UnpackToABaseFolderWithUnixFolders) {
  std::vector<ZipBuildEntry> entries = {DirectoryEntry("docs/", 3),
                                        FileEntry("docs/guide.pdf", "%PDF")};
  const fs::path archive = Write(home_.root() / "JEBMWKX6V.zip", BuildZip(entries));
  const fs::path base = home_.root() / "install";
  // Folders made on Unix are 0x30, not exactly 0x10: no path is remembered.
  EXPECT_EQ(ExtractPackageTo(platform::WidePath(archive), platform::WidePath(base)), L"");
  EXPECT_EQ(ReadTextFile(base / "JEBMWKX6V" / "docs/guide.pdf"), "%PDF");
}

// A letter and a number ("d3"), built by appending: GCC 12 warns wrongly
// about "d" + std::to_string(...) when cross-compiling with -O3.
std::string Numbered(char letter, int number) {
  std::string name(1, letter);
  name += std::to_string(number);
  return name;
}

TEST_F(PackageExtractTest, ManyFilesOnSeveralThreadsAllArrive) {
  std::vector<ZipBuildEntry> entries;
  for (int i = 0; i < 300; ++i) {
    entries.push_back(
        FileEntry(Numbered('d', i % 7) + "/" + Numbered('f', i),
                  std::string(static_cast<std::size_t>(i * 13), static_cast<char>('a' + i % 26))));
  }
  const fs::path archive = Write(home_.root() / "many.zip", BuildZip(entries));
  const fs::path target = home_.root() / "many";
  ExtractArchive(platform::WidePath(archive), platform::WidePath(target), nullptr, 4);
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(ReadTextFile(target / Numbered('d', i % 7) / Numbered('f', i)),
              std::string(static_cast<std::size_t>(i * 13), static_cast<char>('a' + i % 26)));
  }
}

TEST_F(PackageExtractTest, MissingOrBrokenArchivesGiveNothing) {
  EXPECT_EQ(ExtractPackage(platform::WidePath(home_.root() / "missing.zip")), L"");
  const fs::path junk = Write(home_.root() / "junk.zip", "not an archive");
  EXPECT_EQ(ExtractPackage(platform::WidePath(junk)), L"");
  EXPECT_EQ(ExtractPackage(platform::WidePath(home_.root())), L"");  // a folder
}

}  // namespace
