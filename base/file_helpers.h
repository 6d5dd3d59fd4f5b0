#pragma once
// Whole-file reads and writes and folder checks on wide paths.
#include <string>

// Replaces the file with the bytes as one step (a private file; a crash
// leaves the old content). Empty content leaves an empty file and reports
// false (nothing was written).
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);
// The whole file, or false; a file that yields fewer bytes than its size
// (it shrank, or a read failed) is a failure, never a truncated buffer.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);
bool DirectoryExists(const std::wstring& path);
// True for an existing entry that is not a folder, also when it is locked.
bool FileExists(const std::wstring& path);
// Creates the folder and every missing parent.
bool CreateDirectoryTree(const std::wstring& path);
