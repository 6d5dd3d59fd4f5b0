#include "login_launcher.h"

#include <windows.h>

#include <platform/win32/own_process.h>

namespace platform::win32 {
namespace {

constexpr wchar_t kEnvironmentOption[] = L"--env";
constexpr wchar_t kProgramMark[] = L"--";

bool IsPlainText(std::wstring_view text) {
  for (const wchar_t c : text) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

bool IsEnvironmentName(std::wstring_view name) {
  if (name.empty() || (name[0] >= L'0' && name[0] <= L'9')) return false;
  for (const wchar_t c : name) {
    if (!((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_')) return false;
  }
  return true;
}

bool IsEnvironmentEntry(std::wstring_view entry) {
  const std::size_t equals = entry.find(L'=');
  return equals != std::wstring_view::npos && IsEnvironmentName(entry.substr(0, equals)) &&
         IsPlainText(entry);
}

// A drive path (C:\…) or a network one (\\server\share\…); never relative,
// never one that names the current folder of a drive (C:name).
bool IsAbsoluteProgram(std::wstring_view path) {
  const bool drive = path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') ||
                                          (path[0] >= L'a' && path[0] <= L'z')) &&
                     path[1] == L':' && path[2] == L'\\';
  const bool network = path.size() >= 3 && path[0] == L'\\' && path[1] == L'\\' &&
                       path[2] != L'\\' && path[2] != L'?' && path[2] != L'.';
  if (!drive && !network) return false;
  if (path.size() < 5 || path[path.size() - 5] == L'\\') return false;
  std::wstring suffix(path.substr(path.size() - 4));
  for (wchar_t& c : suffix) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return suffix == L".exe";
}

}  // namespace

std::wstring LoginLauncherPath() {
  const std::wstring own = OwnProgramPath();
  const std::size_t slash = own.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  return own.substr(0, slash + 1) + kLoginLauncherName;
}

bool IsFileEntry(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<std::wstring> LauncherArguments(const LaunchRequest& request) {
  std::vector<std::wstring> arguments;
  for (const std::wstring& entry : request.environment) {
    arguments.push_back(kEnvironmentOption);
    arguments.push_back(entry);
  }
  arguments.push_back(kProgramMark);
  arguments.insert(arguments.end(), request.argv.begin(), request.argv.end());
  return arguments;
}

std::optional<LaunchRequest> ParseLauncherArguments(const std::vector<std::wstring>& arguments) {
  LaunchRequest request;
  std::size_t i = 0;
  for (; i < arguments.size() && arguments[i] != kProgramMark; i += 2) {
    if (arguments[i] != kEnvironmentOption || i + 1 == arguments.size()) return std::nullopt;
    if (!IsEnvironmentEntry(arguments[i + 1])) return std::nullopt;
    request.environment.push_back(arguments[i + 1]);
  }
  if (i == arguments.size()) return std::nullopt;  // no "--"
  request.argv.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
  if (request.argv.empty() || !IsAbsoluteProgram(request.argv[0])) return std::nullopt;
  for (const std::wstring& word : request.argv) {
    if (!IsPlainText(word)) return std::nullopt;
  }
  return request;
}

}  // namespace platform::win32
