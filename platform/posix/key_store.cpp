// The key store on POSIX: one JSON document per root key below
// $XDG_CONFIG_HOME/Tidewell/registry/. Every change is a locked
// read-modify-write with an atomic replace, so concurrent writers in several
// processes all land and a crash never leaves half a file.
#include <platform/key_store.h>

#include <unistd.h>

#include <cstring>
#include <ctime>
#include <unordered_map>
#include <vector>

#include <platform/atomic_file.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <platform/thread_annotations.h>

#include "file_util.h"
#include "key_store_document.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using posix::KeyStoreDocument;

struct OpenKeyRecord {
  KeyHandle root;
  std::wstring path;  // components joined by '\', no empty components
  std::uint32_t access;
};

// Open keys. Reached through a function so that the table exists even when
// the store is used during static initialisation.
struct HandleTable {
  CMutex mutex;
  std::unordered_map<KeyHandle, OpenKeyRecord> open TW_GUARDED_BY(mutex);
  KeyHandle next TW_GUARDED_BY(mutex) = 0x1000;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

const char* RootFileName(KeyHandle root) {
  switch (root) {
    case kClassesRoot:
      return "HKEY_CLASSES_ROOT";
    case kCurrentUser:
      return "HKEY_CURRENT_USER";
    case kLocalMachine:
      return "HKEY_LOCAL_MACHINE";
    case kUsers:
      return "HKEY_USERS";
    case kCurrentConfig:
      return "HKEY_CURRENT_CONFIG";
    case kCurrentUserLocalSettings:
      return "HKEY_CURRENT_USER_LOCAL_SETTINGS";
    default:
      return nullptr;
  }
}

fs::path StoreFolder() { return OsPath(RoamingAppDataFolder()) / "Tidewell" / "registry"; }

std::wstring NormalisePath(std::wstring_view path) {
  std::wstring out;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring_view::npos) end = path.size();
    if (end > start) {
      if (!out.empty()) out.push_back(L'\\');
      out.append(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

// Resolves a handle (an open key or a predefined root) to root + path.
bool Resolve(KeyHandle key, OpenKeyRecord* record) {
  if (IsPredefinedRoot(key)) {
    *record = {key, L"", kKeyRead | kKeyWrite};
    return true;
  }
  HandleTable& handles = Handles();
  CMutexLock lock(handles.mutex);
  const auto it = handles.open.find(key);
  if (it == handles.open.end()) return false;
  *record = it->second;
  return true;
}

// One root's document, loaded under the store's lock and written back on
// request while the lock is still held.
class RootSession {
 public:
  RootSession(KeyHandle root, bool createFolder) {
    const char* name = RootFileName(root);
    if (name == nullptr) {
      status_ = kErrorInvalidHandle;
      return;
    }
    const fs::path folder = StoreFolder();
    file_ = folder / (std::string(name) + ".json");
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
      if (!createFolder) return;  // nothing stored yet: an empty root
      if (const int error = CreateOwnPrivateFolder(folder); error != 0) {
        status_ = posix::StatusFromErrno(error);
        return;
      }
    }
    lock_ = std::make_unique<posix::FileLock>(folder / (std::string(name) + ".lock"));
    if (!lock_->Held()) {
      status_ = posix::StatusFromErrno(lock_->Error());
      return;
    }
    Load();
  }

  Status status() const { return status_; }
  KeyStoreDocument& document() { return document_; }

  Status Save() {
    if (!lock_ || !lock_->Held()) return kErrorAccessDenied;
    return posix::StatusFromErrno(
        WriteFileAtomically(file_, posix::SerializeKeyStoreDocument(document_)));
  }

 private:
  void Load() {
    std::string text;
    const int error = posix::ReadFileBytes(file_, &text);
    if (error == ENOENT) return;
    if (error != 0) {
      status_ = posix::StatusFromErrno(error);
      return;
    }
    if (auto parsed = posix::ParseKeyStoreDocument(text)) {
      document_ = std::move(*parsed);
      return;
    }
    // A damaged store reads as empty; the file is kept for inspection.
    std::error_code ec;
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path aside = file_;
      aside += ".damaged-" + std::to_string(std::time(nullptr)) + "-" + std::to_string(::getpid()) +
               (attempt ? "-" + std::to_string(attempt) : "");
      if (fs::exists(aside, ec)) continue;  // never overwrite an earlier one
      fs::rename(file_, aside, ec);
      break;
    }
  }

  fs::path file_;
  std::unique_ptr<posix::FileLock> lock_;
  KeyStoreDocument document_;
  Status status_ = kSuccess;
};

void AddKeyWithParents(KeyStoreDocument& document, const std::wstring& path) {
  std::size_t end = 0;
  while (end != std::wstring::npos) {
    end = path.find(L'\\', end + 1);
    const std::wstring prefix = path.substr(0, end);
    auto& key = document[posix::FoldCase(prefix)];
    if (key.path.empty()) key.path = prefix;
  }
}

KeyHandle NewHandle(OpenKeyRecord record) {
  HandleTable& handles = Handles();
  CMutexLock lock(handles.mutex);
  const KeyHandle handle = handles.next;
  handles.next += 4;
  handles.open.emplace(handle, std::move(record));
  return handle;
}

}  // namespace


Status CreateKey(KeyHandle root, std::wstring_view path, std::uint32_t access, KeyHandle* key,
                 std::uint32_t* disposition) {
  OpenKeyRecord parent;
  if (key == nullptr || !Resolve(root, &parent)) return kErrorInvalidHandle;
  std::wstring full = NormalisePath(parent.path + L"\\" + std::wstring(path));
  RootSession session(parent.root, true);
  if (session.status() != kSuccess) return session.status();
  const bool existed = full.empty() || session.document().count(posix::FoldCase(full)) != 0;
  if (!existed) {
    AddKeyWithParents(session.document(), full);
    if (const Status saved = session.Save(); saved != kSuccess) return saved;
  }
  if (disposition != nullptr) *disposition = existed ? kOpenedExistingKey : kCreatedNewKey;
  *key = NewHandle({parent.root, std::move(full), access});
  return kSuccess;
}

Status OpenKey(KeyHandle root, std::wstring_view path, std::uint32_t access, KeyHandle* key) {
  OpenKeyRecord parent;
  if (key == nullptr || !Resolve(root, &parent)) return kErrorInvalidHandle;
  std::wstring full = NormalisePath(parent.path + L"\\" + std::wstring(path));
  RootSession session(parent.root, false);
  if (session.status() != kSuccess) return session.status();
  if (!full.empty() && session.document().count(posix::FoldCase(full)) == 0) {
    return kErrorFileNotFound;
  }
  *key = NewHandle({parent.root, std::move(full), access});
  return kSuccess;
}

Status QueryValue(KeyHandle key, std::wstring_view name, std::uint32_t* type, std::uint8_t* data,
                  std::uint32_t* size) {
  OpenKeyRecord record;
  if (!Resolve(key, &record)) return kErrorInvalidHandle;
  if ((record.access & kKeyQueryValue) == 0) return kErrorAccessDenied;
  if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
  RootSession session(record.root, false);
  if (session.status() != kSuccess) return session.status();
  const auto keyIt = session.document().find(posix::FoldCase(record.path));
  if (keyIt == session.document().end()) return kErrorFileNotFound;
  const auto valueIt = keyIt->second.values.find(posix::FoldCase(name));
  if (valueIt == keyIt->second.values.end()) return kErrorFileNotFound;
  const posix::StoredValue& value = valueIt->second;
  if (type != nullptr) *type = value.type;
  const auto stored = static_cast<std::uint32_t>(value.data.size());
  if (data != nullptr) {
    if (*size < stored) {
      *size = stored;
      return kErrorMoreData;
    }
    if (stored != 0) std::memcpy(data, value.data.data(), stored);
  }
  if (size != nullptr) *size = stored;
  return kSuccess;
}

Status SetValue(KeyHandle key, std::wstring_view name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size) {
  OpenKeyRecord record;
  if (!Resolve(key, &record)) return kErrorInvalidHandle;
  if ((record.access & kKeySetValue) == 0) return kErrorAccessDenied;
  if (data == nullptr && size != 0) return kErrorInvalidParameter;
  RootSession session(record.root, true);
  if (session.status() != kSuccess) return session.status();
  // A key set aside with a damaged file comes back with its first write.
  AddKeyWithParents(session.document(), record.path);
  auto& values = session.document()[posix::FoldCase(record.path)].values;
  posix::StoredValue& value = values[posix::FoldCase(name)];
  if (value.name.empty()) value.name = std::wstring(name);
  value.type = type;
  value.data.assign(data, data + size);
  return session.Save();
}

Status DeleteKeyTree(KeyHandle root, std::wstring_view path) {
  OpenKeyRecord parent;
  if (!Resolve(root, &parent)) return kErrorInvalidHandle;
  const std::wstring full = NormalisePath(parent.path + L"\\" + std::wstring(path));
  if (full.empty()) return kErrorAccessDenied;
  // Without a store folder there is nothing to delete, and none is made.
  RootSession session(parent.root, false);
  if (session.status() != kSuccess) return session.status();
  const std::wstring folded = posix::FoldCase(full);
  const std::wstring below = folded + L"\\";
  KeyStoreDocument& document = session.document();
  bool removed = false;
  for (auto it = document.begin(); it != document.end();) {
    if (it->first == folded || it->first.compare(0, below.size(), below) == 0) {
      it = document.erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  return removed ? session.Save() : kSuccess;
}

Status CloseKey(KeyHandle key) {
  if (IsPredefinedRoot(key)) return kSuccess;
  HandleTable& handles = Handles();
  CMutexLock lock(handles.mutex);
  return handles.open.erase(key) != 0 ? kSuccess : kErrorInvalidHandle;
}

}  // namespace platform
