#include "process_start.h"

#include <sddl.h>

#include <cwctype>
#include <memory>

#include <platform/command_line.h>
#include <platform/os_encoding.h>

namespace platform::win32 {
namespace {

std::wstring NameOf(const std::wstring& entry) {
  // "=C:=C:\dir" entries (the shell's per-drive folders) have their name
  // after the leading '='.
  const std::size_t equals = entry.find(L'=', 1);
  std::wstring name = entry.substr(0, equals);
  for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
  return name;
}

// Our environment block with the overrides applied; names compare as
// Windows compares them, without case.
std::wstring EnvironmentBlock(const std::vector<std::string>& overrides) {
  std::vector<std::wstring> wideOverrides;
  for (const std::string& entry : overrides) {
    if (entry.find('=') != std::string::npos) wideOverrides.push_back(OsNarrowToWide(entry));
  }
  std::wstring block;
  if (wchar_t* ours = ::GetEnvironmentStringsW(); ours != nullptr) {
    for (const wchar_t* entry = ours; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
      const std::wstring text = entry;
      bool replaced = false;
      for (const std::wstring& o : wideOverrides) replaced = replaced || NameOf(o) == NameOf(text);
      if (!replaced) block.append(text).push_back(L'\0');
    }
    ::FreeEnvironmentStringsW(ours);
  }
  for (const std::wstring& o : wideOverrides) block.append(o).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

// An inheritable copy of one of our standard handles; invalid when we have none.
Handle InheritableCopy(DWORD which) {
  const HANDLE ours = ::GetStdHandle(which);
  if (ours == nullptr || ours == INVALID_HANDLE_VALUE) return Handle();
  HANDLE copy = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), ours, ::GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
    return Handle();
  }
  return Handle(copy);
}

// The NUL device, inheritable, in place of one of our standard handles.
Handle NullDevice(DWORD) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return Handle(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool HasFolderPart(const std::wstring& program) {
  return program.find_first_of(L"\\/:") != std::wstring::npos;
}

}  // namespace

Started Start(const StartRequest& request) {
  Started started;
  const std::optional<std::wstring> line = BuildCommandLine(request.argv);
  if (!line) return started;
  std::wstring commandLine = *line;  // CreateProcessW may write into it

  // Only the standard handles reach the child: a long-lived program we
  // start must not keep our files, pipes or sockets open.
  auto standardCopy = request.nullStandardHandles ? NullDevice : InheritableCopy;
  Handle input = standardCopy(STD_INPUT_HANDLE);
  Handle output;
  Handle errors;
  if (request.output == nullptr) output = standardCopy(STD_OUTPUT_HANDLE);
  if (request.errors == nullptr) errors = standardCopy(STD_ERROR_HANDLE);
  const HANDLE standard[3] = {input.get(),
                              request.output != nullptr ? request.output : output.get(),
                              request.errors != nullptr ? request.errors : errors.get()};
  std::vector<HANDLE> inherited;
  for (const HANDLE h : standard) {
    if (h == nullptr || h == INVALID_HANDLE_VALUE) continue;
    bool seen = false;
    for (const HANDLE other : inherited) seen = seen || other == h;
    if (!seen) inherited.push_back(h);
  }

  STARTUPINFOEXW info{};
  info.StartupInfo.cb = sizeof info;
  if (!inherited.empty()) {
    info.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    info.StartupInfo.hStdInput = standard[0];
    info.StartupInfo.hStdOutput = standard[1];
    info.StartupInfo.hStdError = standard[2];
  }
  if (request.hidden) {
    info.StartupInfo.dwFlags |= STARTF_USESHOWWINDOW;
    info.StartupInfo.wShowWindow = SW_HIDE;
  }
  SIZE_T attributeSize = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeSize);
  auto attributeMemory = std::make_unique<unsigned char[]>(attributeSize);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeMemory.get());
  bool withList = false;
  if (!inherited.empty() && ::InitializeProcThreadAttributeList(attributes, 1, 0, &attributeSize)) {
    withList = ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                           inherited.data(), inherited.size() * sizeof(HANDLE),
                                           nullptr, nullptr);
    if (!withList) ::DeleteProcThreadAttributeList(attributes);
  }
  // Without the list no handle may be inherited at all.
  if (!withList) info.StartupInfo.dwFlags &= ~static_cast<DWORD>(STARTF_USESTDHANDLES);
  info.lpAttributeList = withList ? attributes : nullptr;

  std::wstring environment;
  if (!request.environment.empty()) environment = EnvironmentBlock(request.environment);
  DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT;
  if (request.hidden) flags |= CREATE_NO_WINDOW;
  // A Ctrl+C meant for us does not reach a program that lives on its own.
  if (request.breakaway) flags |= CREATE_NEW_PROCESS_GROUP;
  // A bare name is searched as Windows searches (PATH, ".exe" added); a
  // path is taken as it is, never split at a blank.
  const wchar_t* application = HasFolderPart(request.argv[0]) ? request.argv[0].c_str() : nullptr;
  PROCESS_INFORMATION process{};
  auto create = [&](DWORD extra) {
    return ::CreateProcessW(application, commandLine.data(), nullptr, nullptr,
                            withList ? TRUE : FALSE, flags | extra,
                            environment.empty() ? nullptr : environment.data(),
                            request.workingDirectory.empty() ? nullptr
                                                             : request.workingDirectory.c_str(),
                            &info.StartupInfo, &process);
  };
  BOOL created = FALSE;
  if (request.breakaway) created = create(CREATE_BREAKAWAY_FROM_JOB);
  // A job that forbids leaving it keeps the child; it is started all the same.
  if (!created) created = create(0);
  if (withList) ::DeleteProcThreadAttributeList(attributes);
  if (!created) return started;
  started.process.reset(process.hProcess);
  started.thread.reset(process.hThread);
  started.id = process.dwProcessId;
  return started;
}

Handle OpenPrivateAppend(const std::wstring& path) {
  // Full access for the user who runs us, nobody else, nothing inherited.
  Handle token;
  {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return Handle();
    token.reset(raw);
  }
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  auto user = std::make_unique<unsigned char[]>(size);
  if (!::GetTokenInformation(token.get(), TokenUser, user.get(), size, &size)) return Handle();
  wchar_t* sid = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid, &sid)) {
    return Handle();
  }
  const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
  ::LocalFree(sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return Handle();
  }
  SECURITY_ATTRIBUTES security{sizeof security, descriptor, TRUE};
  // A link planted at the name is opened as itself, then refused.
  Handle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE | FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr));
  ::LocalFree(descriptor);
  BY_HANDLE_FILE_INFORMATION about{};
  if (!file.valid() || !::GetFileInformationByHandle(file.get(), &about) ||
      (about.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
    return Handle();
  }
  return file;
}

}  // namespace platform::win32
