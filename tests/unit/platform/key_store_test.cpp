#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include <platform/key_store.h>
#include <tests/support/temp_home.h>

namespace {

using namespace platform;
namespace fs = std::filesystem;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

class KeyStoreTest : public ::testing::Test {
 protected:
  fs::path StoreFile() const {
    return home_.config() / "Tidewell" / "registry" / "HKEY_CURRENT_USER.json";
  }
  KeyHandle Create(const std::wstring& path, std::uint32_t access = kKeyRead | kKeyWrite) {
    KeyHandle key = 0;
    EXPECT_EQ(CreateKey(kCurrentUser, path, access, &key, nullptr), kSuccess);
    return key;
  }
  std::vector<std::uint8_t> Read(KeyHandle key, const std::wstring& name, std::uint32_t* type) {
    std::uint32_t size = 0;
    EXPECT_EQ(QueryValue(key, name, nullptr, nullptr, &size), kSuccess);
    std::vector<std::uint8_t> data(size + 1);
    EXPECT_EQ(QueryValue(key, name, type, data.data(), &size), kSuccess);
    data.resize(size);
    return data;
  }
  TempHome home_;
};

TEST_F(KeyStoreTest, CreatesKeysWithParentsAndReportsDisposition) {
  KeyHandle key = 0;
  std::uint32_t disposition = 0;
  ASSERT_EQ(CreateKey(kCurrentUser, L"SOFTWARE\\Tidewell", kKeyRead, &key, &disposition), kSuccess);
  EXPECT_EQ(disposition, kCreatedNewKey);
  CloseKey(key);
  ASSERT_EQ(CreateKey(kCurrentUser, L"software\\TIDEWELL", kKeyRead, &key, &disposition), kSuccess);
  EXPECT_EQ(disposition, kOpenedExistingKey);  // names ignore case
  CloseKey(key);
  ASSERT_EQ(OpenKey(kCurrentUser, L"SOFTWARE", kKeyRead, &key), kSuccess);
  CloseKey(key);
  EXPECT_EQ(OpenKey(kCurrentUser, L"SOFTWARE\\Missing", kKeyRead, &key), kErrorFileNotFound);
}

TEST_F(KeyStoreTest, StoreFolderAndFilesArePrivate) {
  const KeyHandle key = Create(L"SOFTWARE\\Tidewell");
  const std::uint8_t one[4] = {1, 0, 0, 0};
  ASSERT_EQ(SetValue(key, L"v", kRegDword, one, 4), kSuccess);
  CloseKey(key);
  EXPECT_EQ(ModeOf(StoreFile().parent_path().parent_path()), 0700);
  EXPECT_EQ(ModeOf(StoreFile().parent_path()), 0700);
  EXPECT_EQ(ModeOf(StoreFile()), 0600);
  EXPECT_EQ(ModeOf(StoreFile().parent_path() / "HKEY_CURRENT_USER.lock"), 0600);
}

TEST_F(KeyStoreTest, ValuesKeepTypeAndExactBytes) {
  const KeyHandle key = Create(L"SOFTWARE\\Tidewell");
  // A string without its terminating zero must come back exactly as stored.
  const auto unterminated = Bytes({'a', 0, 'b', 0});
  ASSERT_EQ(SetValue(key, L"Raw", kRegSz, unterminated.data(), 4), kSuccess);
  const auto dword = Bytes({1, 0, 0, 0});
  ASSERT_EQ(SetValue(key, L"Flag", kRegDword, dword.data(), 4), kSuccess);
  ASSERT_EQ(SetValue(key, L"Empty", kRegBinary, nullptr, 0), kSuccess);
  CloseKey(key);

  const KeyHandle again = Create(L"SOFTWARE\\Tidewell");
  std::uint32_t type = 0;
  EXPECT_EQ(Read(again, L"raw", &type), unterminated);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(Read(again, L"FLAG", &type), dword);
  EXPECT_EQ(type, kRegDword);
  EXPECT_TRUE(Read(again, L"Empty", &type).empty());
  EXPECT_EQ(QueryValue(again, L"Nope", nullptr, nullptr, nullptr), kErrorFileNotFound);
  CloseKey(again);
}

TEST_F(KeyStoreTest, SmallBufferAndAccessRightsAreChecked) {
  const KeyHandle key = Create(L"K");
  const auto text = Bytes({'x', 0, 'y', 0, 0, 0});
  ASSERT_EQ(SetValue(key, L"v", kRegSz, text.data(), 6), kSuccess);
  std::uint8_t small[2];
  std::uint32_t size = sizeof small;
  EXPECT_EQ(QueryValue(key, L"v", nullptr, small, &size), kErrorMoreData);
  EXPECT_EQ(size, 6u);
  CloseKey(key);

  KeyHandle readOnly = 0;
  ASSERT_EQ(OpenKey(kCurrentUser, L"K", kKeyRead, &readOnly), kSuccess);
  EXPECT_EQ(SetValue(readOnly, L"v", kRegSz, text.data(), 6), kErrorAccessDenied);
  CloseKey(readOnly);
  KeyHandle writeOnly = 0;
  ASSERT_EQ(OpenKey(kCurrentUser, L"K", kKeyWrite, &writeOnly), kSuccess);
  EXPECT_EQ(QueryValue(writeOnly, L"v", nullptr, nullptr, &size), kErrorAccessDenied);
  CloseKey(writeOnly);
  EXPECT_EQ(CloseKey(writeOnly), kErrorInvalidHandle);
  EXPECT_EQ(QueryValue(writeOnly, L"v", nullptr, nullptr, &size), kErrorInvalidHandle);
}

TEST_F(KeyStoreTest, FileIsReadableTextWithChineseValues) {
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

TEST_F(KeyStoreTest, DamagedStoreReadsEmptyIsKeptAsideAndRecovers) {
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

TEST_F(KeyStoreTest, ConcurrentWritersInTwoProcessesAllLand) {
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

TEST(KeyStoreRoots, PredefinedRootsAreRecognised) {
  EXPECT_TRUE(IsPredefinedRoot(kCurrentUser));
  EXPECT_TRUE(IsPredefinedRoot(kPerformanceNlsText));
  EXPECT_FALSE(IsPredefinedRoot(0x1000));
  EXPECT_EQ(CloseKey(kCurrentUser), kSuccess);
}

}  // namespace
