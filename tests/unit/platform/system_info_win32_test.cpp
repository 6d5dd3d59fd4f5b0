#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include <platform/known_folders.h>
#include <platform/machine_id.h>
#include <platform/network_adapters.h>
#include <platform/os_encoding.h>
#include <platform/os_info.h>

namespace {

// Sets a variable of this process for the object's life.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
    wchar_t old[1024];
    const DWORD length = GetEnvironmentVariableW(name, old, 1024);
    if (length > 0 && length < 1024) saved_ = std::wstring(old, length);
    SetEnvironmentVariableW(name, value);
  }
  ~ScopedVariable() { SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const wchar_t* name_;
  std::optional<std::wstring> saved_;
};

bool IsAbsolute(const std::wstring& path) {
  return path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
}

TEST(OsInfoWindows, NamesOnThisSystem) {
  const std::string name = platform::OsName();
  EXPECT_TRUE(name.rfind("windows", 0) == 0 || name.rfind("Windows", 0) == 0) << name;
  EXPECT_EQ(platform::ExecutableSuffix(), L".exe");
  EXPECT_EQ(platform::PathSeparator(), L'\\');
}

TEST(OsEncoding, CodePage936BothWays) {
  const std::string gbk = "\xC4\xA3\xD0\xCD \xC4\xBF\xC2\xBC";
  EXPECT_EQ(platform::WideToOsNarrow(L"模型 目录"), gbk);
  EXPECT_EQ(platform::OsNarrowToWide(gbk), L"模型 目录");
  EXPECT_EQ(platform::OsNarrowToWide("C:\\a b"), L"C:\\a b");
  EXPECT_EQ(platform::WideToOsNarrow(std::wstring(L"ab\0cd", 5)), "ab");  // stops at a zero
  EXPECT_EQ(platform::WideToOsNarrow(L""), "");
  EXPECT_EQ(platform::WidePath(platform::OsPath(L"D:\\模型\\x")), L"D:\\模型\\x");
}

TEST(MachineId, IsTheGuidWindowsMadeAtSetup) {
  const std::string id = platform::ReadMachineId();
  ASSERT_EQ(id.size(), 36u) << id;
  EXPECT_EQ(id.find_first_not_of("0123456789abcdefABCDEF-"), std::string::npos);
  EXPECT_EQ(id, platform::ReadMachineId());
}

TEST(NetworkAdapters, ListedWithTypesAndLimit) {
  const auto adapters = platform::ListNetworkAdapters(64);
  ASSERT_TRUE(adapters.has_value());
  for (const auto& adapter : *adapters) {
    if (adapter.type == platform::kAdapterTypeEthernet) {
      EXPECT_EQ(adapter.address.size(), 6u) << adapter.name;
    }
  }
  if (!adapters->empty()) {
    EXPECT_FALSE(platform::ListNetworkAdapters(adapters->size() - 1).has_value());
  }
}

// Each folder follows its variable when that holds an absolute path, and
// asks the shell otherwise.
TEST(KnownFolders, TheSystemsVariablesPointThemElsewhere) {
  struct Row {
    const wchar_t* variable;
    std::wstring (*folder)();
  };
  const Row rows[] = {
      {L"APPDATA", platform::RoamingAppDataFolder},
      {L"LOCALAPPDATA", platform::LocalAppDataFolder},
      {L"USERPROFILE", platform::HomeFolder},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.variable, row.variable + wcslen(row.variable)));
    {
      ScopedVariable set(row.variable, L"C:\\tests\\模型 x\\");
      EXPECT_EQ(row.folder(), L"C:\\tests\\模型 x");
    }
    {
      ScopedVariable set(row.variable, L"relative\\x");
      const std::wstring asked = row.folder();
      EXPECT_TRUE(IsAbsolute(asked));
      EXPECT_NE(asked, L"relative\\x");
    }
  }
  {
    ScopedVariable tmp(L"TMP", L"C:\\tests\\tmp");
    EXPECT_EQ(platform::TempFolder(), L"C:\\tests\\tmp");
  }
  ScopedVariable local(L"LOCALAPPDATA", L"C:\\tests\\local");
  EXPECT_EQ(platform::RuntimeFolder(), L"C:\\tests\\local\\Temp");
}

}  // namespace
