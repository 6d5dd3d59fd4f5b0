// Only processes of this user in this session are looked at or ended: on
// a shared machine another user's program of the same name is none of ours.
#include <platform/process_lookup.h>

#include <windows.h>
#include <tlhelp32.h>

#include <memory>

#include <platform/os_encoding.h>

#include "handle.h"
#include "own_process.h"

namespace platform {
namespace {

using win32::Handle;

bool SameTextNoCase(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Calls visit(id, exeName) for every process in the snapshot until it says stop.
template <typename Visit>
void ForEachProcess(Visit visit) {
  Handle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == 0) continue;  // the idle process
    if (!visit(entry.th32ProcessID, std::wstring_view(entry.szExeFile))) return;
  }
}

// Whole components, without case, not a name prefix ("C:\a\chatbox2" is
// not inside "C:\a\chatbox").
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty() && std::next(f) == folder.end()) break;  // a trailing separator
    if (p == path.end() || !SameTextNoCase(p->native(), f->native())) return false;
  }
  return p != path.end();
}

bool EndOwnProcess(long id, UINT exitCode) {
  if (id <= 0) return false;
  Handle process(::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                               static_cast<DWORD>(id)));
  if (!process.valid() || !win32::IsOwnProcess(process.get())) return false;
  return ::TerminateProcess(process.get(), exitCode) != FALSE;
}

}  // namespace

std::optional<long> FindProcessByName(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const std::wstring wanted = OsNarrowToWide(name);
  std::optional<long> found;
  ForEachProcess([&](DWORD id, std::wstring_view exe) {
    if (SameTextNoCase(exe, wanted) && win32::IsOwnProcessId(id)) found = static_cast<long>(id);
    return !found;
  });
  return found;
}

std::vector<long> FindProcessesInFolder(const std::filesystem::path& folder) {
  std::vector<long> found;
  const std::optional<std::filesystem::path> resolved = win32::FinalPath(folder);
  if (!resolved) return found;
  const DWORD self = ::GetCurrentProcessId();
  ForEachProcess([&](DWORD id, std::wstring_view) {
    if (id == self) return true;  // never this program itself
    Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process.valid() || !win32::IsOwnProcess(process.get())) return true;
    const std::optional<std::filesystem::path> image = win32::ImagePath(process.get());
    if (image && IsInside(*image, *resolved)) found.push_back(static_cast<long>(id));
    return true;
  });
  return found;
}

// Windows has no polite request a console program must hear: both end it.
bool TerminateProcessById(long id) { return EndOwnProcess(id, static_cast<UINT>(-1)); }

bool KillProcessById(long id) { return EndOwnProcess(id, static_cast<UINT>(-1)); }

}  // namespace platform
