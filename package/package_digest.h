#pragma once
// The SHA-256 check of the install package: the service may announce the
// digest of the package it serves; an archive that does not match it is
// never used.
#include <atomic>
#include <string>

#include <platform/file_handle.h>

enum class DigestCheck { Match, Mismatch, Unreadable, Cancelled };

// Match at once when sha256Hex is empty (nothing to check); Mismatch for a
// malformed digest (one we cannot check passes nothing). Reading stops with
// Cancelled once *cancel is true (looked at between 1 MiB blocks); cancel may
// be null.
DigestCheck CheckPackageDigest(const std::wstring& archive, const std::string& sha256Hex,
                               const std::atomic<bool>* cancel);
// The same for a path in the OS narrow encoding.
DigestCheck CheckFileDigest(const std::string& path, const std::string& sha256Hex,
                            const std::atomic<bool>* cancel);

// The same for an open file, read from its start (the descriptor's position
// is left at its end); the caller keeps the descriptor. Checking and then
// using one descriptor means the bytes checked are the bytes used. actual,
// when given, gets the digest read (lowercase hexadecimal), so a mismatch
// can be named without reading the file again.
DigestCheck CheckDescriptorDigest(platform::NativeFile fd, const std::string& sha256Hex,
                                  const std::atomic<bool>* cancel,
                                  std::string* actual = nullptr);

// True when sha256Hex is empty (nothing to check) or names the archive's
// SHA-256 (64 hexadecimal digits, either case). False for a mismatch, a
// malformed digest or an archive that cannot be read.
bool VerifyPackageDigest(const std::wstring& archive, const std::string& sha256Hex);

// The same for a path in the OS narrow encoding.
bool VerifyFileDigest(const std::string& path, const std::string& sha256Hex);

// The file's SHA-256 in lowercase hexadecimal; empty when it cannot be read.
std::string FileSha256Hex(const std::string& path);
