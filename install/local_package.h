#pragma once
// The install package a user chose on disk (a slow or no connection, a USB
// stick from the IT department): looked at when chosen, then checked and
// unpacked in place of a download. The user's file is only read: never
// removed, changed or copied.
#include <atomic>
#include <string>

#include <install/installation.h>
#include <install/package_outcome.h>

enum class LocalPackageFile { Usable, Missing, NotAFile, Unreadable };

// The quick look when the file is chosen: it exists, is a regular file and
// opens for reading. Its content is checked when the installation runs.
LocalPackageFile LookAtLocalPackage(const std::wstring& path);
// The line under the install image for a file refused when chosen, naming
// it; empty for Usable.
std::wstring LocalPackageFileText(LocalPackageFile look, const std::wstring& path);
// How the window names the chosen file: its name, shortened in the middle
// to at most maxChars characters.
std::wstring LocalPackageShownName(const std::wstring& path, std::size_t maxChars);

// The first half of an installation from installation.localPackage: the
// announced digest when the configuration had one, then the whole archive
// unpacked below the install folder as the downloaded one would be (every
// entry's CRC, whole or nothing), then both setups present. The file is
// opened once, so the bytes checked are the bytes unpacked.
PackageOutcome UnpackLocalPackage(const Installation& installation,
                                  const std::atomic<bool>* cancel);
