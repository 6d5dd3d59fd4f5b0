#pragma once
// Which processes are ours to look at and end, and where their programs lie.
#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>

namespace platform::win32 {

// Runs as the user we run as, in our session.
bool IsOwnProcess(HANDLE process);
bool IsOwnProcessId(DWORD id);
// This program's own file, however long its path; empty when unknown.
std::wstring OwnProgramPath();
// The program file of the process, links resolved where the file still is.
std::optional<std::filesystem::path> ImagePath(HANDLE process);
// The path with every link and junction resolved, as a plain drive path;
// nullopt when it does not exist.
std::optional<std::filesystem::path> FinalPath(const std::filesystem::path& path);

}  // namespace platform::win32
