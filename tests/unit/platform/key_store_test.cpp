#include <gtest/gtest.h>

#include <vector>

#include <platform/key_store.h>
#include <tests/unit/platform/key_store_access.h>
#include <tests/support/user_sandbox.h>

namespace {

using namespace platform;

using key_store_test::Bytes;

// The behaviour every backend shares, against a scratch store of the user.
class KeyStoreTest : public ::testing::Test, protected key_store_test::KeyAccess {
 protected:
  UserSandbox sandbox_;
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

TEST_F(KeyStoreTest, DeletingATreeTakesItsSubkeysAndValuesAndNothingBeside) {
  const std::vector<std::uint8_t> data = {'x', 0, 0, 0};
  for (const wchar_t* path : {L"SOFTWARE\\Tidewell\\Sub\\Deep", L"SOFTWARE\\TidewellNext"}) {
    KeyHandle key = 0;
    ASSERT_EQ(CreateKey(kCurrentUser, path, kKeyWrite, &key, nullptr), kSuccess);
    ASSERT_EQ(SetValue(key, L"v", kRegSz, data.data(), 4), kSuccess);
    CloseKey(key);
  }
  KeyHandle key = 0;
  ASSERT_EQ(CreateKey(kCurrentUser, L"SOFTWARE\\Tidewell", kKeyWrite, &key, nullptr), kSuccess);
  ASSERT_EQ(SetValue(key, L"OllamaPath", kRegSz, data.data(), 4), kSuccess);
  CloseKey(key);

  // Names ignore case here as everywhere in the store.
  EXPECT_EQ(DeleteKeyTree(kCurrentUser, L"software\\TIDEWELL"), kSuccess);
  for (const wchar_t* gone : {L"SOFTWARE\\Tidewell", L"SOFTWARE\\Tidewell\\Sub\\Deep"}) {
    EXPECT_EQ(OpenKey(kCurrentUser, gone, kKeyRead, &key), kErrorFileNotFound);
  }
  // A key whose name merely begins the same stays, and so does the parent.
  ASSERT_EQ(OpenKey(kCurrentUser, L"SOFTWARE\\TidewellNext", kKeyRead, &key), kSuccess);
  std::uint32_t size = 0;
  EXPECT_EQ(QueryValue(key, L"v", nullptr, nullptr, &size), kSuccess);
  CloseKey(key);
  ASSERT_EQ(OpenKey(kCurrentUser, L"SOFTWARE", kKeyRead, &key), kSuccess);
  CloseKey(key);
  // Again: nothing there is no failure; a whole root is never deleted.
  EXPECT_EQ(DeleteKeyTree(kCurrentUser, L"SOFTWARE\\Tidewell"), kSuccess);
  EXPECT_EQ(DeleteKeyTree(kCurrentUser, L""), kErrorAccessDenied);
}

TEST_F(KeyStoreTest, ValuesKeepTypeAndExactBytes) {
  const KeyHandle key = Create(L"SOFTWARE\\Tidewell");
  // A string without its terminating zero must come back exactly as stored.
  const auto unterminated = Bytes({'a', 0, 'b', 0});
  ASSERT_EQ(SetValue(key, L"Raw", kRegSz, unterminated.data(), 4), kSuccess);
  const auto dword = Bytes({1, 0, 0, 0});
  ASSERT_EQ(SetValue(key, L"Flag", kRegDword, dword.data(), 4), kSuccess);
  ASSERT_EQ(SetValue(key, L"Empty", kRegBinary, nullptr, 0), kSuccess);
  // A string of no bytes at all, not even a zero.
  const std::uint8_t anything = 'x';
  ASSERT_EQ(SetValue(key, L"ZeroSz", kRegSz, &anything, 0), kSuccess);
  // An expandable string whose size counts its zero, as the environment's are.
  const auto expand = Bytes({'%', 0, 'A', 0, '%', 0, 0, 0});
  ASSERT_EQ(SetValue(key, L"Expand", kRegExpandSz, expand.data(), 8), kSuccess);
  CloseKey(key);

  const KeyHandle again = Create(L"SOFTWARE\\Tidewell");
  std::uint32_t type = 0;
  EXPECT_EQ(Read(again, L"raw", &type), unterminated);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(Read(again, L"FLAG", &type), dword);
  EXPECT_EQ(type, kRegDword);
  EXPECT_TRUE(Read(again, L"Empty", &type).empty());
  EXPECT_EQ(type, kRegBinary);
  EXPECT_TRUE(Read(again, L"zerosz", &type).empty());
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(Read(again, L"Expand", &type), expand);  // never expanded
  EXPECT_EQ(type, kRegExpandSz);
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

TEST(KeyStoreRoots, PredefinedRootsAreRecognised) {
  EXPECT_TRUE(IsPredefinedRoot(kCurrentUser));
  EXPECT_TRUE(IsPredefinedRoot(kPerformanceNlsText));
  EXPECT_FALSE(IsPredefinedRoot(0x1000));
  EXPECT_EQ(CloseKey(kCurrentUser), kSuccess);
}

}  // namespace
