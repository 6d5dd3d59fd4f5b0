// The access lists behind "private" on Windows, and links planted where a
// file is replaced.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <fstream>
#include <vector>

#include <platform/atomic_file.h>
#include <tests/support/links_win32.h>
#include <tests/support/temp_home.h>

namespace {

namespace fs = std::filesystem;

struct Grant {
  std::wstring sid;
  ACCESS_MASK mask;
  BYTE flags;
};

struct Acl {
  bool isProtected = false;
  std::vector<Grant> grants;
};

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return L"?";
  std::wstring out = text;
  ::LocalFree(text);
  return out;
}

std::wstring UserSid() {
  HANDLE token = nullptr;
  ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
  unsigned char buffer[256];
  DWORD size = 0;
  const bool ok = ::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  ::CloseHandle(token);
  return ok ? SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : L"";
}

// Wine keeps no access lists of its own: it shows one made from the Unix
// mode, never marked protected.
bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

constexpr wchar_t kSystem[] = L"S-1-5-18";

// The user and SYSTEM with full control, each once, and nobody else.
void ExpectUserAndSystemAlone(const Acl& acl, BYTE inheritance) {
  if (!UnderWine()) {
    EXPECT_TRUE(acl.isProtected);
  }
  ASSERT_EQ(acl.grants.size(), 2u);
  const std::wstring user = UserSid();
  EXPECT_TRUE((acl.grants[0].sid == user && acl.grants[1].sid == kSystem) ||
              (acl.grants[0].sid == kSystem && acl.grants[1].sid == user));
  for (const Grant& grant : acl.grants) {
    EXPECT_EQ(grant.mask, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
    EXPECT_EQ(grant.flags & INHERITED_ACE, 0);
    if (!UnderWine()) {
      EXPECT_EQ(grant.flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE), inheritance);
    }
  }
}

Acl AclOf(const fs::path& path) {
  Acl out;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_EQ(::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                    nullptr, nullptr, &acl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  if (descriptor == nullptr) return out;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(descriptor, &control, &revision);
  out.isProtected = (control & SE_DACL_PROTECTED) != 0;
  for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(acl, i, &ace)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    out.grants.push_back({SidText(&allowed->SidStart), allowed->Mask, allowed->Header.AceFlags});
  }
  ::LocalFree(descriptor);
  return out;
}

TEST(PrivateOnWindows, AWrittenFileGrantsTheUserAndSystemAlone) {
  TempHome home;
  const fs::path file = home.root() / "settings.json";
  ASSERT_EQ(platform::WriteFileAtomically(file, "{}"), 0);
  ExpectUserAndSystemAlone(AclOf(file), 0);
}

TEST(PrivateOnWindows, AFolderPassesItsPrivacyToWhatIsMadeInside) {
  TempHome home;
  const fs::path folder = home.root() / "private";
  ASSERT_EQ(platform::CreatePrivateFolders(folder), 0);
  ExpectUserAndSystemAlone(AclOf(folder), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  // A file another program makes there is the user's alone too (Wine
  // gives new files the Unix creation mode instead).
  std::ofstream(folder / "made-by-someone") << "x";
  if (!UnderWine()) {
    EXPECT_EQ(ModeOf(folder / "made-by-someone"), 0600);
  }
}

TEST(PrivateOnWindows, APlantedLinkIsReplacedNotFollowed) {
  TempHome home;
  const fs::path victim = home.root() / "victim";
  std::ofstream(victim) << "keep";
  const fs::path file = home.root() / "settings";
  if (!MakeSymlink(file, victim, false)) GTEST_SKIP() << "symbolic links refused here";
  ASSERT_EQ(platform::WriteFileAtomically(file, "new"), 0);
  EXPECT_EQ(ReadTextFile(victim), "keep");
  EXPECT_FALSE(IsLinkItself(file));
  EXPECT_EQ(ReadTextFile(file), "new");
}

}  // namespace
