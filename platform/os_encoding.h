#pragma once
// The narrow encoding of the operating system's interfaces (console output,
// command lines): code page 936 on Windows, UTF-8 here.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

std::string WideToOsNarrow(std::wstring_view text);
std::wstring OsNarrowToWide(std::string_view text);

// A wide path as the file system wants it; never depends on the C locale.
std::filesystem::path OsPath(std::wstring_view path);
std::wstring WidePath(const std::filesystem::path& path);

// The platform's path separator, as the engine appends it to folders.
wchar_t PathSeparator();

}  // namespace platform
