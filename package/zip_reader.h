#pragma once
// The program's own zip reader: central directory, safe entry names,
// traditional PKWARE decryption, stored and deflated data (zlib's raw
// inflate), attributes and file times. Reading only.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include <platform/file_handle.h>

using ZRESULT = std::uint32_t;

inline constexpr ZRESULT ZR_OK = 0x00000000;
// cannot open, not a zip, cannot create output (or a name too long to make)
inline constexpr ZRESULT ZR_NOFILE = 0x00000200;
inline constexpr ZRESULT ZR_WRITE = 0x00000400;     // writing an output file failed
inline constexpr ZRESULT ZR_MORE = 0x00000600;      // piecewise extraction: more data remains
inline constexpr ZRESULT ZR_CORRUPT = 0x00000700;   // a record of the archive is damaged
inline constexpr ZRESULT ZR_READ = 0x00000800;      // reading the archive failed
inline constexpr ZRESULT ZR_PASSWORD = 0x00001000;  // wrong password for an encrypted entry
inline constexpr ZRESULT ZR_ABORT = 0x00002000;     // the caller's cancel flag was set
inline constexpr ZRESULT ZR_ARGS = 0x00010000;      // null handle, unknown mode, bad index
inline constexpr ZRESULT ZR_NOTMMAP = 0x00080000;   // not an archive opened for reading
inline constexpr ZRESULT ZR_ALREADY = 0x01000000;   // the reader already holds an archive
inline constexpr ZRESULT ZR_SEEK = 0x02000000;      // a caller's handle cannot seek
inline constexpr ZRESULT ZR_FLATE = 0x05000000;     // inflating failed or data ended early

// Extraction targets.
inline constexpr int ZIP_HANDLE = 1;    // target: pointer to an open platform::NativeFile
inline constexpr int ZIP_FILENAME = 2;  // target: pointer to a wide file name (std::wstring)
inline constexpr int ZIP_MEMORY = 3;    // target: buffer of the given length, piece by piece

struct ZipEntry {
  int index = 0;      // for index -1: the number of entries
  std::wstring name;  // sanitised relative path, '/' separated
  std::uint32_t attributes = 0;
  // The Unix st_mode (type and permissions) of an entry made on Unix, else 0.
  // A symbolic link's entry (S_IFLNK) holds the link's target as its data;
  // extraction to a file never makes a link of it.
  std::uint32_t unixMode = 0;
  std::int64_t accessTime = 0;  // file times: 100 ns since 1601-01-01 UTC
  std::int64_t createTime = 0;
  std::int64_t writeTime = 0;
  std::uint64_t compressedSize = 0;  // Zip64 sizes past 4 GiB included
  std::uint64_t uncompressedSize = 0;
};

struct ZipHandle;
using HZIP = ZipHandle*;

class ZipSource;

// Entries are written below rootDir (the current directory when empty);
// nothing is ever written outside it. password may be null.
HZIP ZipOpenFile(const std::wstring& path, const char* password, const std::wstring& rootDir = {});
HZIP ZipOpenDescriptor(platform::NativeFile fd, const char* password,
                       const std::wstring& rootDir = {});
HZIP ZipOpenMemory(const void* data, std::size_t length, const char* password,
                   const std::wstring& rootDir = {});
HZIP ZipOpenSource(std::shared_ptr<ZipSource> source, const char* password,
                   const std::wstring& rootDir);

ZRESULT ZipItemInfo(HZIP zip, int index, ZipEntry* entry);
ZRESULT ZipExtractItem(HZIP zip, int index, void* target, std::uint32_t length, int mode);
ZRESULT ZipExtractItemToFile(HZIP zip, int index, const std::wstring& name);
ZRESULT ZipClose(HZIP zip);

// Extraction to a file or a descriptor on this handle stops with ZR_ABORT
// (leaving no file) once *cancel is true; it is looked at between output
// blocks, so a large entry stops at once too. Null: never stops. The flag
// must outlive the handle's extractions.
ZRESULT ZipSetCancel(HZIP zip, const std::atomic<bool>* cancel);

// The errno (see platform/file_handle.h) of the file-system call that made the latest extraction on this
// handle fail (ZR_NOFILE, ZR_WRITE); 0 when the file system was not the
// cause (a refused name, damaged data).
int ZipLastOsError(HZIP zip);

// The result of the latest call on any thread.
ZRESULT ZipLastResult();

// The source an open archive reads from, to share it with more readers.
std::shared_ptr<ZipSource> ZipSourceOf(HZIP zip);
