#include "temp_home.h"

#include "user_sandbox.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <fstream>
#include <random>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::optional<std::string> Variable(const std::string& name) {
  const char* value = ::getenv(name.c_str());
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void SetVariable(const std::string& name, const fs::path& value) {
  // Through the runtime, which keeps the process environment in step: the
  // code under test reads it with GetEnvironmentVariableW.
  ::_wputenv_s(fs::path(name).c_str(), value.c_str());
}

void RestoreVariable(const std::string& name, const std::optional<std::string>& value) {
  // An empty value removes the variable.
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

// The entry itself, never what a link there points at.
HANDLE OpenSecurity(const fs::path& path, DWORD access) {
  return ::CreateFileW(path.c_str(), access,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

std::vector<unsigned char> UserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  const bool ok = size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  ::CloseHandle(token);
  if (!ok) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  const auto* bytes = static_cast<const unsigned char*>(sid);
  return {bytes, bytes + ::GetLengthSid(sid)};
}

constexpr ACCESS_MASK kRead = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;
constexpr ACCESS_MASK kWrite = FILE_WRITE_DATA | GENERIC_WRITE | GENERIC_ALL;
constexpr ACCESS_MASK kPass = FILE_TRAVERSE | GENERIC_EXECUTE | GENERIC_ALL;

ACCESS_MASK Rights(int bits) {
  ACCESS_MASK mask = 0;
  if ((bits & 4) != 0) mask |= FILE_GENERIC_READ;
  if ((bits & 2) != 0) mask |= FILE_GENERIC_WRITE | DELETE;
  if ((bits & 1) != 0) mask |= FILE_GENERIC_EXECUTE;
  return mask;
}

}  // namespace

TempHome::TempHome() {
  std::random_device random;
  for (int attempt = 0; attempt < 8 && root_.empty(); ++attempt) {
    const fs::path candidate = fs::temp_directory_path() /
                               ("tidewell-test-" + std::to_string(random()) + std::to_string(random()));
    if (::CreateDirectoryW(candidate.c_str(), nullptr)) root_ = candidate;
  }
  if (root_.empty()) throw std::runtime_error("cannot create a temporary home");
  registry_ = std::make_unique<UserSandbox>();
  const std::map<std::string, fs::path> vars = {
      {"HOME", root_ / "home"},         {"USERPROFILE", root_ / "home"},
      {"XDG_CONFIG_HOME", root_ / "config"}, {"APPDATA", root_ / "config"},
      {"XDG_DATA_HOME", root_ / "data"},     {"LOCALAPPDATA", root_ / "data"},
      {"XDG_RUNTIME_DIR", root_ / "run"},
  };
  for (const auto& [name, path] : vars) {
    saved_[name] = Variable(name);
    fs::create_directories(path);
    SetVariable(name, path);
  }
}

namespace {

// Removes what can go and leaves the rest. Under Wine the console host of a
// runner server a test started can outlive the server and keep its log
// open; std::filesystem::remove_all then retries that file for ever. A
// link or junction goes itself; what it leads to is never walked.
void RemoveWhatCanGo(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path entry = it->path();
    const DWORD attributes = ::GetFileAttributesW(entry.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) RemoveWhatCanGo(entry);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      ::SetFileAttributesW(entry.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    if (isFolder) {
      ::RemoveDirectoryW(entry.c_str());
    } else {
      ::DeleteFileW(entry.c_str());
    }
  }
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempHome::~TempHome() {
  registry_.reset();
  for (const auto& [name, value] : saved_) RestoreVariable(name, value);
  RemoveWhatCanGo(root_);
}

fs::path WriteScript(const fs::path& path, const std::string& body) {
  fs::path script = path;
  script.replace_extension(".cmd");
  fs::create_directories(script.parent_path());
  std::ofstream(script, std::ios::binary) << "@echo off\r\n" << body << "\r\n";
  return script;
}

int ModeOf(const fs::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return -1;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  HANDLE entry = OpenSecurity(path, READ_CONTROL);
  if (entry == INVALID_HANDLE_VALUE) return -1;
  PACL acl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = ::GetSecurityInfo(entry, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                        nullptr, &acl, nullptr, &descriptor);
  ::CloseHandle(entry);
  if (error != ERROR_SUCCESS) return -1;
  const std::vector<unsigned char> user = UserSid();
  int mode = 0;
  if (acl == nullptr) mode = folder ? 0777 : 0666;  // no list: everyone may do anything
  for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(acl, i, &ace)) continue;
    const auto* header = static_cast<ACE_HEADER*>(ace);
    // Entries that only pass down do not apply to the entry itself.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
      continue;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    const bool isUser =
        !user.empty() && ::EqualSid(&allowed->SidStart, const_cast<unsigned char*>(user.data()));
    // SYSTEM may do anything anyway, as root may on POSIX: no bits of its own.
    if (::IsWellKnownSid(&allowed->SidStart, WinLocalSystemSid)) continue;
    const int scale = isUser ? 0100 : 011;  // the user's bits, or the group's and others'
    if ((allowed->Mask & kRead) != 0) mode |= 4 * scale;
    if ((allowed->Mask & kWrite) != 0) mode |= 2 * scale;
    if (folder && (allowed->Mask & kPass) != 0) mode |= 1 * scale;
  }
  ::LocalFree(descriptor);
  return mode;
}

void SetMode(const fs::path& path, int mode) {
  std::vector<unsigned char> user = UserSid();
  ASSERT_FALSE(user.empty());
  unsigned char everyoneBytes[SECURITY_MAX_SID_SIZE];
  DWORD everyoneSize = sizeof everyoneBytes;
  ASSERT_TRUE(::CreateWellKnownSid(WinWorldSid, nullptr, everyoneBytes, &everyoneSize));
  std::vector<unsigned char> aclBytes(sizeof(ACL) + 2 * sizeof(ACCESS_ALLOWED_ACE) +
                                      user.size() + everyoneSize);
  auto* acl = reinterpret_cast<PACL>(aclBytes.data());
  ASSERT_TRUE(::InitializeAcl(acl, static_cast<DWORD>(aclBytes.size()), ACL_REVISION));
  const int userBits = (mode >> 6) & 7;
  const int othersBits = ((mode >> 3) | mode) & 7;
  // The user's full rights as our private files grant them.
  const ACCESS_MASK userRights = userBits == 7 || userBits == 6 ? FILE_ALL_ACCESS : Rights(userBits);
  if (userRights != 0) {
    ASSERT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, userRights, user.data()));
  }
  if (othersBits != 0) {
    ASSERT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, Rights(othersBits), everyoneBytes));
  }
  HANDLE entry = OpenSecurity(path, READ_CONTROL | WRITE_DAC);
  ASSERT_NE(entry, INVALID_HANDLE_VALUE) << path;
  const DWORD error = ::SetSecurityInfo(
      entry, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, acl, nullptr);
  ::CloseHandle(entry);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS)) << path;
}

std::uint64_t AllocatedBytes(const fs::path& path) {
  HANDLE entry = OpenSecurity(path, FILE_READ_ATTRIBUTES);
  EXPECT_NE(entry, INVALID_HANDLE_VALUE) << path;
  if (entry == INVALID_HANDLE_VALUE) return 0;
  FILE_STANDARD_INFO info{};
  const bool ok = ::GetFileInformationByHandleEx(entry, FileStandardInfo, &info, sizeof info);
  ::CloseHandle(entry);
  EXPECT_TRUE(ok) << path;
  return ok ? static_cast<std::uint64_t>(info.AllocationSize.QuadPart) : 0;
}
