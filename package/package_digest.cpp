#include <package/package_digest.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <vector>

#include <config/md5.h>

#include <platform/digest.h>
#include <platform/file_handle.h>
#include <platform/os_encoding.h>

namespace {

bool IsHexDigest(const std::string& text) {
  if (text.size() != 64) return false;
  for (const char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return false;
  }
  return true;
}

// The one reading loop, from the descriptor's position to its end: *hex gets
// the digest when the whole rest was read.
DigestCheck HashDescriptor(platform::NativeFile fd, const std::atomic<bool>* cancel,
                           std::string* hex) {
  const auto cancelled = [cancel] { return cancel != nullptr && cancel->load(); };
  if (cancelled()) return DigestCheck::Cancelled;
  platform::Digest digest(platform::DigestKind::Sha256);
  bool ok = true;
  bool stopped = false;
  std::vector<unsigned char> block(1024 * 1024);
  while (ok) {
    if (cancelled()) {
      stopped = true;
      break;
    }
    const long long n = platform::ReadSome(fd, block.data(), block.size());
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    digest.Update(block.data(), static_cast<std::size_t>(n));
  }
  if (stopped) return DigestCheck::Cancelled;
  const auto sum = ok ? digest.Finish() : std::nullopt;
  if (!sum) return DigestCheck::Unreadable;
  *hex = LowerHex(sum->data(), sum->size());
  return DigestCheck::Match;
}

DigestCheck HashFile(const std::filesystem::path& path, const std::atomic<bool>* cancel,
                     std::string* hex) {
  if (cancel != nullptr && cancel->load()) return DigestCheck::Cancelled;
  const platform::FileHandle file(platform::OpenFileToRead(path));
  if (!file.valid()) return DigestCheck::Unreadable;
  return HashDescriptor(file.get(), cancel, hex);
}

std::filesystem::path PathOf(const std::string& path) {
  return platform::OsPath(platform::OsNarrowToWide(path));
}

// Compares a computed digest with the announced one, in either case.
DigestCheck Compare(const std::string& actual, const std::string& sha256Hex) {
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(sha256Hex[i])) != actual[i]) {
      return DigestCheck::Mismatch;
    }
  }
  return DigestCheck::Match;
}

DigestCheck CheckPathDigest(const std::filesystem::path& path, const std::string& sha256Hex,
                            const std::atomic<bool>* cancel) {
  if (sha256Hex.empty()) return DigestCheck::Match;
  if (!IsHexDigest(sha256Hex)) return DigestCheck::Mismatch;
  std::string actual;
  if (const DigestCheck read = HashFile(path, cancel, &actual); read != DigestCheck::Match) {
    return read;
  }
  return Compare(actual, sha256Hex);
}

}  // namespace

std::string FileSha256Hex(const std::string& path) {
  std::string hex;
  HashFile(PathOf(path), nullptr, &hex);
  return hex;
}

DigestCheck CheckFileDigest(const std::string& path, const std::string& sha256Hex,
                            const std::atomic<bool>* cancel) {
  return CheckPathDigest(PathOf(path), sha256Hex, cancel);
}

DigestCheck CheckDescriptorDigest(platform::NativeFile fd, const std::string& sha256Hex,
                                  const std::atomic<bool>* cancel, std::string* actual) {
  if (sha256Hex.empty()) return DigestCheck::Match;
  if (!IsHexDigest(sha256Hex)) return DigestCheck::Mismatch;
  if (!platform::SetFilePosition(fd, 0)) return DigestCheck::Unreadable;
  std::string read;
  if (const DigestCheck status = HashDescriptor(fd, cancel, &read); status != DigestCheck::Match) {
    return status;
  }
  if (actual != nullptr) *actual = read;
  return Compare(read, sha256Hex);
}

DigestCheck CheckPackageDigest(const std::wstring& archive, const std::string& sha256Hex,
                               const std::atomic<bool>* cancel) {
  return CheckPathDigest(platform::OsPath(archive), sha256Hex, cancel);
}

bool VerifyFileDigest(const std::string& path, const std::string& sha256Hex) {
  return CheckFileDigest(path, sha256Hex, nullptr) == DigestCheck::Match;
}

bool VerifyPackageDigest(const std::wstring& archive, const std::string& sha256Hex) {
  return CheckPackageDigest(archive, sha256Hex, nullptr) == DigestCheck::Match;
}
