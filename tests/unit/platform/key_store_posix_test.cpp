#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include <platform/key_store.h>
#include <tests/unit/platform/key_store_access.h>
#include <tests/support/temp_home.h>

namespace {

using namespace platform;
namespace fs = std::filesystem;

using key_store_test::Bytes;

// The store's own files: their modes, format, damage and locking.
class KeyStoreFiles : public ::testing::Test, protected key_store_test::KeyAccess {
 protected:
  fs::path StoreFile() const {
    return home_.config() / "Tidewell" / "registry" / "HKEY_CURRENT_USER.json";
  }
  TempHome home_;
};

TEST_F(KeyStoreFiles, StoreFolderAndFilesArePrivate) {
  const KeyHandle key = Create(L"SOFTWARE\\Tidewell");
  const std::uint8_t one[4] = {1, 0, 0, 0};
  ASSERT_EQ(SetValue(key, L"v", kRegDword, one, 4), kSuccess);
  CloseKey(key);
  EXPECT_EQ(ModeOf(StoreFile().parent_path().parent_path()), 0700);
  EXPECT_EQ(ModeOf(StoreFile().parent_path()), 0700);
  EXPECT_EQ(ModeOf(StoreFile()), 0600);
  EXPECT_EQ(ModeOf(StoreFile().parent_path() / "HKEY_CURRENT_USER.lock"), 0600);
}

TEST_F(KeyStoreFiles, FileIsReadableTextWithChineseValues) {
  const KeyHandle key = Create(L"SOFTWARE\\Tidewell");
  const std::u16string path = u"D:\\模型 目录";
  std::vector<std::uint8_t> bytes;
  for (char16_t c : path + u'\0') {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  ASSERT_EQ(
      SetValue(key, L"OllamaPath", kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
      kSuccess);
  CloseKey(key);
  std::ifstream in(StoreFile());
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("\"OllamaPath\""), std::string::npos);
  EXPECT_NE(text.str().find("D:\\\\模型 目录"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("REG_SZ"), std::string::npos);
}

TEST_F(KeyStoreFiles, DamagedStoreReadsEmptyIsKeptAsideAndRecovers) {
  fs::create_directories(StoreFile().parent_path());
  for (const char* damage : {"{ not json", "[1, 2]",
                             "{\"format\":\"tidewell-key-store 1\","
                             "\"keys\":{\"A\":{\"v\":{\"type\":1}}}}"}) {
    std::ofstream(StoreFile()) << damage;
    KeyHandle key = 0;
    EXPECT_EQ(OpenKey(kCurrentUser, L"A", kKeyRead, &key), kErrorFileNotFound) << damage;
  }
  int setAside = 0;
  for (const auto& entry : fs::directory_iterator(StoreFile().parent_path())) {
    setAside += entry.path().filename().string().find(".damaged-") != std::string::npos;
  }
  EXPECT_EQ(setAside, 3);
  const KeyHandle key = Create(L"A");
  const auto dword = Bytes({7, 0, 0, 0});
  EXPECT_EQ(SetValue(key, L"v", kRegDword, dword.data(), 4), kSuccess);
  std::uint32_t type = 0;
  EXPECT_EQ(Read(key, L"v", &type), dword);
  CloseKey(key);
}

TEST_F(KeyStoreFiles, ConcurrentWritersInTwoProcessesAllLand) {
  constexpr int kWrites = 40;
  const KeyHandle key = Create(L"Race");
  auto writeMany = [key](const std::wstring& prefix) {
    for (int i = 0; i < kWrites; ++i) {
      const std::uint8_t data[4] = {static_cast<std::uint8_t>(i), 0, 0, 0};
      if (SetValue(key, prefix + std::to_wstring(i), kRegDword, data, 4) != kSuccess) return false;
    }
    return true;
  };
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(writeMany(L"child") ? 0 : 1);
  EXPECT_TRUE(writeMany(L"parent"));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (const wchar_t* prefix : {L"child", L"parent"}) {
    for (int i = 0; i < kWrites; ++i) {
      std::uint32_t size = 0;
      EXPECT_EQ(QueryValue(key, prefix + std::to_wstring(i), nullptr, nullptr, &size), kSuccess);
    }
  }
  CloseKey(key);
}

}  // namespace
