#pragma once
// File primitives the Windows backend builds on: owned handles, the user's
// identity, an access list for the user alone, error numbers.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include <platform/file_handle.h>

namespace platform::win32 {

// A handle closed when the object goes.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept;
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  HANDLE Release();
  void Reset();

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The user this process runs as, and the owner its new objects get (the
// user, or Administrators in an elevated process). Empty on failure.
const std::vector<unsigned char>& CurrentUserSid();
const std::vector<unsigned char>& DefaultOwnerSid();

// True when sid is the user's or the default owner's.
bool IsOurSid(PSID sid);

// True for the local system account.
bool IsSystemSid(PSID sid);

// A security descriptor whose access list grants full control to the user
// and to SYSTEM (which may do anything on the machine anyway, as root may on
// POSIX, and which backup and the system's own services run as) and to
// nobody else, shielded from what the parent folder passes down. A folder's
// entries are passed down to what is later made inside it.
class PrivateSecurity {
 public:
  explicit PrivateSecurity(bool folder);
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;

  bool Valid() const { return valid_; }
  // For CreateFileW / CreateDirectoryW; null when not Valid().
  SECURITY_ATTRIBUTES* Attributes() { return valid_ ? &attributes_ : nullptr; }
  PACL Acl() { return reinterpret_cast<PACL>(acl_.data()); }
  PSECURITY_DESCRIPTOR Descriptor() { return &descriptor_; }

 private:
  std::vector<unsigned char> acl_;
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool valid_ = false;
};

// Gives an open file or folder (opened with WRITE_DAC) the private access
// list above; what is inside a folder keeps its own. Returns 0 or a Windows
// error number.
DWORD MakePrivate(HANDLE handle, bool folder);

// True when the access list allows something to someone other than the
// user and SYSTEM (entries that only pass down to children included).
bool GrantsOthers(PACL acl);

// Opens the file with the access asked, made private when missing; a link
// planted at the name is opened as itself and refused (ELOOP), as is a
// folder. kNoFile on failure, with errno set.
NativeFile OpenPrivateRegularFile(const std::filesystem::path& path, DWORD access);

// Opens an entry itself, never what a link there points at.
UniqueHandle OpenEntry(const std::filesystem::path& path, DWORD access, DWORD share);

// An unguessable name part: 32 hexadecimal digits from the system's
// random source; empty when it fails.
std::wstring RandomHex();

}  // namespace platform::win32
