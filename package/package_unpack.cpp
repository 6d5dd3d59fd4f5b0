#include <package/package_unpack.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include <package/package_extract.h>
#include <package/path_beneath.h>
#include <package/zip_entry_info.h>
#include <package/zip_reader.h>
#include <package/zip_source.h>
#include <platform/atomic_file.h>
#include <platform/disk_space.h>
#include <platform/file_handle.h>
#include <platform/folder_steps.h>
#include <platform/os_encoding.h>
#include <platform/random_bytes.h>
#include <platform/tree_removal.h>
#include <platform/utf.h>

namespace {

// Staging folders are named this and 16 random hexadecimal digits.
constexpr std::size_t kRandomDigits = 16;
// The longest name a folder step may have (bytes here, UTF-16 units on
// Windows, which a UTF-8 count never undercuts).
constexpr std::size_t kMaxNameLength = 255;

std::atomic<UnpackFreeSpaceProbe> g_freeSpaceProbe{nullptr};

std::optional<std::uint64_t> FreeSpaceIn(const std::wstring& folder) {
  const UnpackFreeSpaceProbe probe = g_freeSpaceProbe.load();
  return probe != nullptr ? probe(folder) : platform::FreeDiskSpace(folder);
}

// A create or write in the staging folder failed with error: a full disk,
// a name of the archive's that cannot exist here (two entries wanting one
// place as file and folder, a step too long), or the folder itself.
UnpackFault FaultOfOutputError(int error) {
  if (platform::IsOutOfSpace(error)) return UnpackFault::NoSpace;
  switch (error) {
    case 0:  // refused by the reader itself: the entry's name
    case ENOTDIR:
    case EISDIR:
    case EEXIST:
    case ENAMETOOLONG:
    case ELOOP:
    case EILSEQ:
    case EINVAL:
      return UnpackFault::Archive;
    default:
      return UnpackFault::Folder;
  }
}

UnpackFault FaultOfFolderError(int error) {
  return platform::IsOutOfSpace(error) ? UnpackFault::NoSpace : UnpackFault::Folder;
}

// An unguessable name: the folder is made with O_EXCL semantics (mkdir), so
// guessing would only ever make it fail, never let anyone in.
std::string StagingName() {
  unsigned char random[kRandomDigits / 2] = {};
  (void)platform::RandomBytes(random, sizeof random);
  std::string name = kUnpackStagingPrefix;
  for (const unsigned char byte : random) {
    static constexpr char kDigits[] = "0123456789abcdef";
    name.push_back(kDigits[byte >> 4]);
    name.push_back(kDigits[byte & 0xF]);
  }
  return name;
}

bool IsStagingName(const std::string& name) {
  constexpr std::size_t prefix = sizeof kUnpackStagingPrefix - 1;
  if (name.size() != prefix + kRandomDigits || name.compare(0, prefix, kUnpackStagingPrefix) != 0) {
    return false;
  }
  return name.find_first_not_of("0123456789abcdef", prefix) == std::string::npos;
}

// What an earlier run left when it died midway (one program runs at a time).
void RemoveLeftovers(platform::NativeFile baseFd) {
  for (const std::string& name : platform::FolderNames(baseFd)) {
    if (IsStagingName(name)) RemoveBeneath(baseFd, name);
  }
}

// Gives the staging folder the final name. An existing final folder (or
// whatever stands there) is swapped out in one step and then removed; where
// the file system cannot swap, it is renamed aside first. 0 or an errno.
int Commit(platform::NativeFile baseFd, const std::string& staging, const std::string& final) {
  using platform::RenameIn;
  using platform::RenameMode;
  for (int attempt = 0; attempt < 3; ++attempt) {
    int error = RenameIn(baseFd, staging, final, RenameMode::Exchange);
    if (error == 0) {
      RemoveBeneath(baseFd, staging);  // now the old folder
      return 0;
    }
    if (error == ENOENT) {
      error = RenameIn(baseFd, staging, final, RenameMode::NoReplace);
      if (error == 0) return 0;
      if (error == EEXIST) continue;  // it appeared meanwhile: swap it out
    }
    if (error != EINVAL && error != ENOSYS) return error;
    const std::string aside = StagingName();
    error = RenameIn(baseFd, final, aside, RenameMode::Replace);
    const bool moved = error == 0;
    if (!moved && error != ENOENT) return error;
    if (error = RenameIn(baseFd, staging, final, RenameMode::Replace); error != 0) {
      if (moved) RenameIn(baseFd, aside, final, RenameMode::Replace);
      return error;
    }
    if (moved) RemoveBeneath(baseFd, aside);
    return 0;
  }
  return EEXIST;
}

struct ArchiveEntry {
  int index;
  std::wstring name;
  std::uint64_t size;
};

// The open archive and the folder it is being unpacked into.
class Unpacking {
 public:
  Unpacking(std::wstring baseFolder, const std::atomic<bool>* cancel)
      : baseFolder_(std::move(baseFolder)), cancel_(cancel) {}
  ~Unpacking() {
    if (zip_ != nullptr) ZipClose(zip_);
    if (baseFd_ != platform::kNoFile) {
      if (!staging_.empty()) RemoveBeneath(baseFd_, staging_);
      platform::CloseFile(baseFd_);
    }
    if (madeBase_ && !committed_) platform::RemoveEmptyFolder(platform::OsPath(baseFolder_));
  }
  Unpacking(const Unpacking&) = delete;
  Unpacking& operator=(const Unpacking&) = delete;

  UnpackResult Run(std::shared_ptr<ZipSource> source, const std::wstring& folderName);

 private:
  bool Cancelled() const { return cancel_ != nullptr && cancel_->load(); }
  UnpackResult Fail(UnpackFault fault);
  UnpackFault ReadEntries();
  UnpackFault MakeStaging();
  UnpackFault Extract(const ArchiveEntry& entry);

  std::wstring baseFolder_;
  const std::atomic<bool>* cancel_;
  HZIP zip_ = nullptr;
  std::vector<ArchiveEntry> folders_;
  std::vector<ArchiveEntry> files_;
  UnpackResult result_;
  std::uint64_t written_ = 0;  // bytes of the entries written so far
  platform::NativeFile baseFd_ = platform::kNoFile;
  bool madeBase_ = false;
  std::string staging_;  // its name in the base folder, while it exists
  bool committed_ = false;
};

UnpackResult Unpacking::Fail(UnpackFault fault) {
  result_.fault = fault;
  if (fault == UnpackFault::NoSpace) {
    // Measured with the staging folder gone: what the user has to work with.
    if (baseFd_ != platform::kNoFile && !staging_.empty() && RemoveBeneath(baseFd_, staging_)) {
      staging_.clear();
    }
    result_.freeBytes = FreeSpaceIn(baseFolder_).value_or(0);
  }
  return result_;
}

UnpackFault Unpacking::ReadEntries() {
  ZipEntry entry;
  if (ZipItemInfo(zip_, -1, &entry) != ZR_OK) return UnpackFault::Archive;
  const int count = entry.index;
  for (int i = 0; i < count; ++i) {
    // Every entry must be one we can write: a name too long or a damaged
    // record fails the whole archive rather than leaving a gap.
    if (ZipItemInfo(zip_, i, &entry) != ZR_OK) return UnpackFault::Archive;
    result_.neededBytes += entry.uncompressedSize;
    auto& list = (entry.attributes & kAttrDirectory) != 0 ? folders_ : files_;
    list.push_back({i, entry.name, entry.uncompressedSize});
  }
  return UnpackFault::None;
}

UnpackFault Unpacking::MakeStaging() {
  const std::filesystem::path base = platform::OsPath(baseFolder_);
  std::error_code ec;
  if (!std::filesystem::exists(base, ec)) {
    if (const int error = platform::CreatePrivateFolders(base); error != 0) {
      return FaultOfFolderError(error);
    }
    madeBase_ = true;
  }
  baseFd_ = platform::OpenFolder(base);
  if (baseFd_ == platform::kNoFile) return UnpackFault::Folder;
  RemoveLeftovers(baseFd_);
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string name = StagingName();
    const int error = platform::MakeFolderIn(baseFd_, name, 0700);
    if (error == 0) {
      staging_ = std::move(name);
      return UnpackFault::None;
    }
    if (error != EEXIST) return FaultOfFolderError(error);
  }
  return UnpackFault::Folder;
}

UnpackFault Unpacking::Extract(const ArchiveEntry& entry) {
  switch (ZipExtractItemToFile(zip_, entry.index, entry.name)) {
    case ZR_OK:
      written_ += entry.size;
      return UnpackFault::None;
    case ZR_ABORT:
      return UnpackFault::Cancelled;
    case ZR_NOFILE:
      return FaultOfOutputError(ZipLastOsError(zip_));
    case ZR_WRITE: {
      // Unlike a create, a write never fails for a name.
      const int error = ZipLastOsError(zip_);
      if (error != 0) return FaultOfFolderError(error);
      // A write that stored nothing without saying why: the disk, when what
      // is still to come no longer fits.
      const std::optional<std::uint64_t> free = FreeSpaceIn(baseFolder_);
      return free && *free < result_.neededBytes - written_ ? UnpackFault::NoSpace
                                                            : UnpackFault::Folder;
    }
    default:
      return UnpackFault::Archive;  // damaged data, a read error, an encrypted entry
  }
}

UnpackResult Unpacking::Run(std::shared_ptr<ZipSource> source, const std::wstring& folderName) {
  const std::string finalName = platform::WideToUtf8(folderName);
  if (finalName.empty() || finalName == "." || finalName == ".." ||
      finalName.size() > kMaxNameLength || finalName.find('/') != std::string::npos || !source) {
    return Fail(UnpackFault::Archive);
  }
  // Listed and measured before anything is written.
  zip_ = ZipOpenSource(source, nullptr, baseFolder_);
  if (zip_ == nullptr) return Fail(UnpackFault::Archive);
  if (const UnpackFault fault = ReadEntries(); fault != UnpackFault::None) return Fail(fault);
  ZipClose(zip_);
  zip_ = nullptr;
  if (Cancelled()) return Fail(UnpackFault::Cancelled);
  if (const std::optional<std::uint64_t> free = FreeSpaceIn(baseFolder_);
      free && *free < result_.neededBytes) {
    return Fail(UnpackFault::NoSpace);
  }
  if (const UnpackFault fault = MakeStaging(); fault != UnpackFault::None) return Fail(fault);
  // A reader of the same source writes below the staging folder only.
  zip_ =
      ZipOpenSource(std::move(source), nullptr,
                    baseFolder_ + platform::PathSeparator() + platform::Utf8ToWide(staging_));
  if (zip_ == nullptr) return Fail(UnpackFault::Archive);
  ZipSetCancel(zip_, cancel_);
  // Folders first, as they come, then the files.
  for (const auto* list : {&folders_, &files_}) {
    for (const ArchiveEntry& entry : *list) {
      if (Cancelled()) return Fail(UnpackFault::Cancelled);
      if (const UnpackFault fault = Extract(entry); fault != UnpackFault::None) {
        return Fail(fault);
      }
    }
  }
  ZipClose(zip_);
  zip_ = nullptr;
  if (Cancelled()) return Fail(UnpackFault::Cancelled);
  // No sync here: a folder torn by a crash is unpacked again on the next
  // attempt, and waiting for gigabytes to reach the disk would cost the user.
  if (const int error = Commit(baseFd_, staging_, finalName); error != 0) {
    return Fail(FaultOfFolderError(error));
  }
  staging_.clear();
  committed_ = true;
  return result_;
}

}  // namespace

UnpackResult UnpackSourceInto(std::shared_ptr<ZipSource> source, const std::wstring& folderName,
                              const std::wstring& baseFolder, const std::atomic<bool>* cancel) {
  Unpacking unpacking(baseFolder, cancel);
  return unpacking.Run(std::move(source), folderName);
}

UnpackResult UnpackPackageInto(const std::wstring& archivePath, const std::wstring& baseFolder,
                               const std::atomic<bool>* cancel) {
  std::shared_ptr<ZipSource> source = OpenFileSource(platform::OsPath(archivePath));
  if (!source) return UnpackResult{UnpackFault::Archive};
  return UnpackSourceInto(std::move(source), PackageFolderName(archivePath), baseFolder, cancel);
}

void SetUnpackFreeSpaceProbe(UnpackFreeSpaceProbe probe) { g_freeSpaceProbe.store(probe); }
