#pragma once
// Unpacking the install package and the tutorial archive next to themselves
// or into a chosen folder. Neither changes the process's current directory.
#include <string>

// The password of the vendor's packages.
inline constexpr const char* kPackagePassword = "markOakGrove";

// The folder an archive unpacks into: its file name without its last
// extension.
std::wstring PackageFolderName(const std::wstring& archivePath);

// Unpacks the archive into the folder beside it named like it without its
// extension, with the package password. Returns the path of the last entry
// whose attributes are exactly "directory" (with a trailing separator), or an
// empty string when there is none or the archive cannot be opened.
std::wstring ExtractPackage(const std::wstring& archivePath);
// The same into baseFolder/<archive name without extension>, no password.
std::wstring ExtractPackageTo(const std::wstring& archivePath, const std::wstring& baseFolder);

// Unpacks every entry below targetFolder; entries that fail are skipped
// (and leave no file). Files are written by `threads` threads (0: the
// default, one).
// Returns the remembered directory path as above.
std::wstring ExtractArchive(const std::wstring& archivePath, const std::wstring& targetFolder,
                            const char* password, unsigned threads = 0);
