#include <package/zip_reader.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include <package/async_writer.h>
#include <package/path_beneath.h>
#include <package/zip_directory.h>
#include <package/zip_entry_info.h>
#include <package/zip_entry_stream.h>
#include <package/zip_format.h>
#include <package/zip_names.h>
#include <package/zip_source.h>
#include <platform/file_handle.h>
#include <platform/folder_steps.h>
#include <platform/os_encoding.h>
#include <platform/utf.h>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::size_t kCentralRecordSize = 46;
constexpr std::uint32_t kCentralInMemory = 64 * 1024 * 1024;
// Measured: 64 KiB writes cost a tenth of 1 MiB ones on this kind of machine.
constexpr std::size_t kOutputBlock = 64 * 1024;
constexpr int kArchiveKind = 1;
constexpr std::uint8_t kHostUnix = 3;  // "version made by": the attributes hold st_mode
// Entries at least this large are written behind on a second thread.
constexpr std::uint32_t kWriteBehindFrom = 8 * 1024 * 1024;

std::atomic<ZRESULT> g_lastResult{ZR_OK};

ZRESULT Remember(ZRESULT result) {
  g_lastResult = result;
  return result;
}

struct CentralRecord {
  ZipEntryLocation location;
  std::uint8_t host = 0;
  std::uint16_t dosDate = 0;
  std::uint32_t externalAttributes = 0;
  std::string rawName;
  std::vector<std::uint8_t> extra;
  bool nameTooLong = false;  // refused rather than cut: cut names collide
};

}  // namespace

class ZipReader {
 public:
  ZipReader(std::shared_ptr<ZipSource> source, const char* password, const std::wstring& rootDir)
      : source_(std::move(source)) {
    if (password != nullptr) password_ = std::string(password);
    std::error_code ec;
    root_ = rootDir.empty() ? fs::current_path(ec) : platform::OsPath(rootDir);
  }

  const std::shared_ptr<ZipSource>& source() const { return source_; }
  ~ZipReader() {
    if (folderFd_ != platform::kNoFile) platform::CloseFile(folderFd_);
    if (rootFd_ != platform::kNoFile) platform::CloseFile(rootFd_);
  }
  ZRESULT Open();
  ZRESULT ItemInfo(int index, ZipEntry* entry);
  ZRESULT ExtractToFile(int index, const std::wstring& name);
  ZRESULT ExtractToDescriptor(int index, platform::NativeFile fd);
  ZRESULT ExtractToMemory(int index, std::uint8_t* buffer, std::uint32_t length);
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  int osError() const { return osError_; }

 private:
  bool Cancelled() const { return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed); }
  ZRESULT ReadRecord(int index, CentralRecord* record);
  platform::NativeFile FolderFd(const std::string& folder);
  bool ReadCentral(std::uint64_t offset, void* buffer, std::size_t length) const;
  ZRESULT Entry(int index, CentralRecord* record, ZipEntry* entry);
  ZRESULT WriteEntryTo(const CentralRecord& record, platform::NativeFile fd);
  ZRESULT WriteBehind(ZipEntryStream& stream, platform::NativeFile fd);
  void CloseMemoryEntry() {
    memoryStream_.reset();
    currentItem_ = -1;
  }

  std::shared_ptr<ZipSource> source_;
  std::optional<std::string> password_;
  fs::path root_;
  std::uint32_t entryCount_ = 0;
  std::uint64_t base_ = 0;  // bytes in front of the archive (a self-extractor's)
  std::uint64_t centralOffset_ = 0;
  std::uint64_t centralEnd_ = 0;              // where the end records begin
  std::vector<std::uint64_t> recordOffsets_;  // records found so far, in order
  std::vector<std::uint8_t> central_;         // the central directory, when kept
  int currentItem_ = -1;
  std::unique_ptr<ZipEntryStream> memoryStream_;
  ZipEntry cachedEntry_;
  CentralRecord cachedRecord_;
  int cachedIndex_ = -1;
  std::vector<std::uint8_t> buffer_;  // output block, allocated on first use
  ZipNameDecoder names_;
  platform::NativeFile rootFd_ = platform::kNoFile;  // the root, opened at the first extraction
  std::string folder_;  // the folder of the previous file entry
  platform::NativeFile folderFd_ = platform::kNoFile;  // and its descriptor
  const std::atomic<bool>* cancel_ = nullptr;
  int osError_ = 0;  // why the latest extraction's output failed
};

struct ZipHandle {
  int kind = kArchiveKind;
  std::unique_ptr<ZipReader> reader;
};

ZRESULT ZipReader::Open() {
  ZipDirectory directory;
  if (const ZRESULT r = FindCentralDirectory(*source_, &directory); r != ZR_OK) return r;
  base_ = directory.base;
  entryCount_ = directory.entries;
  centralOffset_ = directory.offset;
  // Records are read by count from the start, bounded by the end records,
  // not by the declared size (some tools write it wrong).
  centralEnd_ = directory.end;
  recordOffsets_.assign(1, centralOffset_);
  // The central directory is read once when it is of a sensible size: every
  // entry query is then served from memory.
  central_.clear();
  const std::uint64_t held = centralEnd_ - centralOffset_;
  if (held <= kCentralInMemory) {
    central_.resize(static_cast<std::size_t>(held));
    if (!source_->ReadExact(centralOffset_, central_.data(), central_.size())) central_.clear();
  }
  return ZR_OK;
}

bool ZipReader::ReadCentral(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (!central_.empty() && offset >= centralOffset_ &&
      offset - centralOffset_ + length <= central_.size()) {
    if (length != 0) std::memcpy(buffer, central_.data() + (offset - centralOffset_), length);
    return true;
  }
  return source_->ReadExact(offset, buffer, length);
}

// Walks forward from the last record found until record index is known.
ZRESULT ZipReader::ReadRecord(int index, CentralRecord* record) {
  std::uint8_t header[kCentralRecordSize];
  for (;;) {
    const auto known = static_cast<int>(recordOffsets_.size()) - 1;
    const std::uint64_t offset = recordOffsets_[static_cast<std::size_t>(std::min(known, index))];
    if (offset + kCentralRecordSize > centralEnd_ || !ReadCentral(offset, header, sizeof header) ||
        Le32(header) != kCentralSignature) {
      return ZR_CORRUPT;
    }
    const std::uint16_t nameLength = Le16(header + 28);
    const std::uint16_t extraLength = Le16(header + 30);
    const std::uint16_t commentLength = Le16(header + 32);
    const std::uint64_t next =
        offset + kCentralRecordSize + nameLength + extraLength + commentLength;
    if (next > centralEnd_) return ZR_CORRUPT;
    if (known >= index) {
      record->location.flags = Le16(header + 8);
      record->location.method = Le16(header + 10);
      record->location.dosTime = Le16(header + 12);
      record->dosDate = Le16(header + 14);
      record->location.crc = Le32(header + 16);
      const std::uint32_t compressed = Le32(header + 20);
      const std::uint32_t uncompressed = Le32(header + 24);
      const std::uint32_t localOffset = Le32(header + 42);
      record->location.compressedSize = compressed;
      record->location.uncompressedSize = uncompressed;
      record->location.localHeaderOffset = localOffset;
      record->host = header[5];
      record->externalAttributes = Le32(header + 38);
      record->rawName.resize(nameLength);
      if (!ReadCentral(offset + kCentralRecordSize, record->rawName.data(), nameLength)) {
        return ZR_CORRUPT;
      }
      record->extra.resize(extraLength);
      if (!ReadCentral(offset + kCentralRecordSize + nameLength, record->extra.data(),
                       extraLength)) {
        return ZR_READ;
      }
      if (!ApplyZip64Extra(record->extra.data(), record->extra.size(),
                           {&record->location.uncompressedSize, &record->location.compressedSize,
                            &record->location.localHeaderOffset})) {
        return ZR_CORRUPT;
      }
      record->location.localHeaderOffset += base_;
      return ZR_OK;
    }
    recordOffsets_.push_back(next);
  }
}

ZRESULT ZipReader::Entry(int index, CentralRecord* record, ZipEntry* entry) {
  if (index == cachedIndex_) {
    *record = cachedRecord_;
    *entry = cachedEntry_;
    return ZR_OK;
  }
  if (const ZRESULT r = ReadRecord(index, record); r != ZR_OK) return r;
  entry->index = index;
  const std::wstring decoded = names_.Decode(record->rawName);
  record->nameTooLong = platform::Utf16Length(decoded) > kZipMaxName - 1;
  entry->name = record->nameTooLong ? std::wstring() : SanitiseEntryName(decoded);
  entry->attributes = EntryAttributes(record->externalAttributes, record->host);
  entry->unixMode = record->host == kHostUnix ? record->externalAttributes >> 16 : 0;
  const EntryTimes times = EntryTimesFrom(record->dosDate, record->location.dosTime,
                                          record->extra.data(), record->extra.size());
  entry->accessTime = times.access;
  entry->createTime = times.create;
  entry->writeTime = times.write;
  entry->compressedSize = record->location.compressedSize;
  entry->uncompressedSize = record->location.uncompressedSize;
  cachedRecord_ = *record;
  cachedEntry_ = *entry;
  cachedIndex_ = index;
  return ZR_OK;
}

ZRESULT ZipReader::ItemInfo(int index, ZipEntry* entry) {
  CloseMemoryEntry();
  if (index == -1) {
    *entry = ZipEntry{};
    entry->index = static_cast<int>(entryCount_);
    return ZR_OK;
  }
  if (index < 0 || static_cast<std::uint32_t>(index) >= entryCount_) return ZR_ARGS;
  CentralRecord record;
  if (const ZRESULT r = Entry(index, &record, entry); r != ZR_OK) return r;
  return record.nameTooLong ? ZR_NOFILE : ZR_OK;
}

ZRESULT ZipReader::WriteEntryTo(const CentralRecord& record, platform::NativeFile fd) {
  ZipEntryStream stream;
  if (const ZRESULT r = stream.Open(*source_, record.location, password_); r != ZR_OK) return r;
  if (record.location.uncompressedSize >= kWriteBehindFrom) return WriteBehind(stream, fd);
  buffer_.resize(kOutputBlock);
  for (;;) {
    if (Cancelled()) return ZR_ABORT;
    std::size_t count = 0;
    if (const ZRESULT r = stream.Read(buffer_.data(), buffer_.size(), &count); r != ZR_OK) return r;
    if (count == 0) return stream.AtEnd() ? ZR_OK : ZR_FLATE;
    for (std::size_t done = 0; done < count;) {
      const long long n = platform::WriteSome(fd, buffer_.data() + done, count - done);
      if (n <= 0) {
        osError_ = n < 0 ? errno : 0;
        return ZR_WRITE;
      }
      done += static_cast<std::size_t>(n);
    }
    if (stream.AtEnd()) return ZR_OK;
  }
}

// Large entries: this thread inflates into 1 MiB blocks while a second one
// writes the previous blocks.
ZRESULT ZipReader::WriteBehind(ZipEntryStream& stream, platform::NativeFile fd) {
  AsyncFileWriter writer(fd);
  const auto failed = [&] {
    osError_ = writer.error();
    return ZR_WRITE;
  };
  for (;;) {
    if (Cancelled()) return ZR_ABORT;
    std::vector<std::uint8_t> block = writer.Take();
    block.resize(block.capacity());
    std::size_t count = 0;
    if (const ZRESULT r = stream.Read(block.data(), block.size(), &count); r != ZR_OK) return r;
    if (count == 0) {
      if (!stream.AtEnd()) return ZR_FLATE;
      return writer.Finish() ? ZR_OK : failed();
    }
    block.resize(count);
    if (!writer.Put(std::move(block))) return failed();
    if (stream.AtEnd()) return writer.Finish() ? ZR_OK : failed();
  }
}

ZRESULT ZipReader::ExtractToFile(int index, const std::wstring& name) {
  CloseMemoryEntry();
  osError_ = 0;
  errno = 0;  // a refusal below that is not the file system's leaves it so
  if (index < 0 || static_cast<std::uint32_t>(index) >= entryCount_) return ZR_ARGS;
  CentralRecord record;
  ZipEntry entry;
  if (const ZRESULT r = Entry(index, &record, &entry); r != ZR_OK) return r;
  if (record.nameTooLong) return ZR_NOFILE;
  // Whatever name the caller passes goes through the same cleaning, and the
  // way down is walked from the root step by step: the output always lands
  // below the root, whatever links stand there.
  std::string relative = platform::WideToUtf8(SanitiseEntryName(name));
  if ((entry.attributes & kAttrDirectory) != 0) {
    if (!relative.empty() && relative.back() == '/') relative.pop_back();
    if (FolderFd(relative) != platform::kNoFile) return ZR_OK;
    osError_ = errno;
    return ZR_NOFILE;
  }
  if (relative.empty() || relative.back() == '/') return ZR_NOFILE;
  const std::size_t slash = relative.rfind('/');
  const std::string leaf = slash == std::string::npos ? relative : relative.substr(slash + 1);
  const platform::NativeFile folder =
      FolderFd(slash == std::string::npos ? std::string() : relative.substr(0, slash));
  if (folder == platform::kNoFile) {
    osError_ = errno;
    return ZR_NOFILE;
  }
  unsigned mode = 0644;
  if (record.host == kHostUnix && ((record.externalAttributes >> 16) & 0777) != 0) {
    mode = (record.externalAttributes >> 16) & 0777;  // Unix permissions, exec bits included
  } else if ((entry.attributes & kAttrReadOnly) != 0) {
    mode = 0444;
  }
  // Always a new file: an existing one (or a link standing there) is
  // replaced, never written through.
  const platform::NativeFile fd = CreateFileIn(folder, leaf, mode);
  if (fd == platform::kNoFile) {
    osError_ = errno;
    return ZR_NOFILE;
  }
  ZRESULT result = WriteEntryTo(record, fd);
  if (result == ZR_OK) {
    platform::SetFileTimes(fd, FileTimeToUnixNanoseconds(entry.accessTime),
                           FileTimeToUnixNanoseconds(entry.writeTime));
  }
  if (!platform::CloseFile(fd) && result == ZR_OK) {  // a quota or network file system may say so only now
    osError_ = errno;
    result = ZR_WRITE;
  }
  // A failed entry leaves nothing behind that could pass for a whole file.
  if (result != ZR_OK) platform::RemoveIn(folder, leaf);
  return result;
}

// The folder's descriptor, kept for the next entry: entries come folder by
// folder. Also for a directory entry (then kept as the folder).
platform::NativeFile ZipReader::FolderFd(const std::string& folder) {
  if (folderFd_ != platform::kNoFile && folder == folder_) return folderFd_;
  if (rootFd_ == platform::kNoFile) {
    std::error_code ec;
    fs::create_directories(root_, ec);  // the caller's root itself
    rootFd_ = platform::OpenFolder(root_);
    if (rootFd_ == platform::kNoFile) return platform::kNoFile;
  }
  if (folderFd_ != platform::kNoFile) platform::CloseFile(folderFd_);
  folder_ = folder;
  folderFd_ = OpenFolderBeneath(rootFd_, folder);
  return folderFd_;
}

ZRESULT ZipReader::ExtractToDescriptor(int index, platform::NativeFile fd) {
  CloseMemoryEntry();
  osError_ = 0;
  if (index < 0 || static_cast<std::uint32_t>(index) >= entryCount_) return ZR_ARGS;
  CentralRecord record;
  ZipEntry entry;
  if (const ZRESULT r = Entry(index, &record, &entry); r != ZR_OK) return r;
  if ((entry.attributes & kAttrDirectory) != 0) return ZR_OK;
  return WriteEntryTo(record, fd);
}

ZRESULT ZipReader::ExtractToMemory(int index, std::uint8_t* buffer, std::uint32_t length) {
  if (index < 0 || static_cast<std::uint32_t>(index) >= entryCount_ || buffer == nullptr) {
    return ZR_ARGS;
  }
  if (currentItem_ != index) {
    CloseMemoryEntry();
    CentralRecord record;
    ZipEntry entry;
    if (const ZRESULT r = Entry(index, &record, &entry); r != ZR_OK) return r;
    memoryStream_ = std::make_unique<ZipEntryStream>();
    if (const ZRESULT r = memoryStream_->Open(*source_, record.location, password_); r != ZR_OK) {
      CloseMemoryEntry();
      return r;
    }
    currentItem_ = index;
  }
  std::size_t filled = 0;
  while (filled < length) {
    std::size_t count = 0;
    const ZRESULT r = memoryStream_->Read(buffer + filled, length - filled, &count);
    if (r != ZR_OK) {
      CloseMemoryEntry();
      return r;
    }
    filled += count;
    if (memoryStream_->AtEnd()) {
      CloseMemoryEntry();
      return ZR_OK;
    }
    if (count == 0) {
      CloseMemoryEntry();
      return ZR_FLATE;
    }
  }
  return ZR_MORE;
}

namespace {

HZIP OpenReader(std::shared_ptr<ZipSource> source, const char* password,
                const std::wstring& rootDir) {
  auto reader = std::make_unique<ZipReader>(std::move(source), password, rootDir);
  if (const ZRESULT r = reader->Open(); r != ZR_OK) {
    Remember(r);
    return nullptr;
  }
  Remember(ZR_OK);
  return new ZipHandle{kArchiveKind, std::move(reader)};
}

// The reader behind a handle, or the code that says why there is none.
ZipReader* ReaderOf(HZIP zip, ZRESULT* error) {
  if (zip == nullptr) {
    *error = ZR_ARGS;
    return nullptr;
  }
  if (zip->kind != kArchiveKind || !zip->reader) {
    *error = ZR_NOTMMAP;
    return nullptr;
  }
  return zip->reader.get();
}

}  // namespace

HZIP ZipOpenFile(const std::wstring& path, const char* password, const std::wstring& rootDir) {
  auto source = OpenFileSource(platform::OsPath(path));
  if (!source) {
    Remember(ZR_NOFILE);
    return nullptr;
  }
  return OpenReader(std::move(source), password, rootDir);
}

HZIP ZipOpenDescriptor(platform::NativeFile fd, const char* password,
                       const std::wstring& rootDir) {
  int status = 0;
  auto source = OpenDescriptorSource(fd, &status);
  if (!source) {
    Remember(status == 1 ? ZR_SEEK : ZR_NOFILE);
    return nullptr;
  }
  return OpenReader(std::move(source), password, rootDir);
}

HZIP ZipOpenMemory(const void* data, std::size_t length, const char* password,
                   const std::wstring& rootDir) {
  auto source = OpenMemorySource(data, length);
  if (!source) {
    Remember(ZR_ARGS);
    return nullptr;
  }
  return OpenReader(std::move(source), password, rootDir);
}

HZIP ZipOpenSource(std::shared_ptr<ZipSource> source, const char* password,
                   const std::wstring& rootDir) {
  if (!source) {
    Remember(ZR_ARGS);
    return nullptr;
  }
  return OpenReader(std::move(source), password, rootDir);
}

ZRESULT ZipItemInfo(HZIP zip, int index, ZipEntry* entry) {
  ZRESULT error = ZR_OK;
  ZipReader* reader = ReaderOf(zip, &error);
  if (reader == nullptr) return Remember(error);
  if (entry == nullptr) return Remember(ZR_ARGS);
  return Remember(reader->ItemInfo(index, entry));
}

ZRESULT ZipExtractItem(HZIP zip, int index, void* target, std::uint32_t length, int mode) {
  ZRESULT error = ZR_OK;
  ZipReader* reader = ReaderOf(zip, &error);
  if (reader == nullptr) return Remember(error);
  if (target == nullptr) return Remember(ZR_ARGS);
  switch (mode) {
    case ZIP_HANDLE:
      return Remember(reader->ExtractToDescriptor(index, *static_cast<platform::NativeFile*>(target)));
    case ZIP_FILENAME:
      return Remember(reader->ExtractToFile(index, *static_cast<const std::wstring*>(target)));
    case ZIP_MEMORY:
      return Remember(reader->ExtractToMemory(index, static_cast<std::uint8_t*>(target), length));
    default:
      return Remember(ZR_ARGS);
  }
}

ZRESULT ZipExtractItemToFile(HZIP zip, int index, const std::wstring& name) {
  std::wstring target = name;
  return ZipExtractItem(zip, index, &target, 0, ZIP_FILENAME);
}

ZRESULT ZipClose(HZIP zip) {
  if (zip == nullptr) return Remember(ZR_ARGS);
  if (zip->kind != kArchiveKind) return Remember(ZR_NOTMMAP);
  delete zip;
  return Remember(ZR_OK);
}

ZRESULT ZipSetCancel(HZIP zip, const std::atomic<bool>* cancel) {
  ZRESULT error = ZR_OK;
  ZipReader* reader = ReaderOf(zip, &error);
  if (reader == nullptr) return Remember(error);
  reader->SetCancel(cancel);
  return Remember(ZR_OK);
}

int ZipLastOsError(HZIP zip) {
  ZRESULT error = ZR_OK;
  ZipReader* reader = ReaderOf(zip, &error);
  return reader != nullptr ? reader->osError() : 0;
}

ZRESULT ZipLastResult() { return g_lastResult; }

std::shared_ptr<ZipSource> ZipSourceOf(HZIP zip) {
  ZRESULT error = ZR_OK;
  ZipReader* reader = ReaderOf(zip, &error);
  return reader != nullptr ? reader->source() : nullptr;
}
