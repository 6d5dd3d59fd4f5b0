#pragma once
// One package download across its attempts: the body on disk and what the
// server said about it (size, validators), and what the current response
// says. libcurl's header and write callbacks feed it; it decides where
// each response's body goes: a whole body (re)starts the file, a partial
// one must continue it exactly (same start, same total, same validators),
// anything else (a redirect's own body) is dropped and is no progress.
#include <cstddef>
#include <string>

#include <platform/file_handle.h>

class DownloadBody {
 public:
  static constexpr long long kUnknown = -1;

  explicit DownloadBody(platform::NativeFile fd) : fd_(fd) {}

  long long onDisk() const { return onDisk_; }
  // True when a partial answer did not fit the file: start again.
  bool badRange() const { return badRange_; }
  // The whole body is on disk, as far as its size was announced.
  bool Complete() const { return total_ == kUnknown || onDisk_ == total_; }
  // What If-Range sends: a strong ETag, else Last-Modified, else nothing.
  std::string Validator() const;
  // The bytes on disk may be continued: the whole size was announced and a
  // validator can make the server prove it still has the same body.
  // Otherwise the next request starts from byte 0 (after Restart).
  bool Resumable() const;

  // Before each request.
  void NewRequest();
  // Drops what is on disk: the next body starts from byte 0.
  void Restart();

  // libcurl callbacks; user data is the DownloadBody.
  static std::size_t OnHeader(char* line, std::size_t size, std::size_t count, void* self);
  static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* self);

 private:
  void NewResponse(long status);
  bool Decide();
  // The partial answer carries the validators of the body on disk.
  bool SameBody() const;

  platform::NativeFile fd_;
  long long onDisk_ = 0;
  long long total_ = kUnknown;  // the whole body's size, when announced
  std::string etag_;            // validators of the body on disk
  std::string lastModified_;

  // The current response.
  long status_ = 0;
  long long contentLength_ = kUnknown;
  long long rangeStart_ = kUnknown;
  long long rangeTotal_ = kUnknown;
  std::string responseEtag_;
  std::string responseLastModified_;
  bool decided_ = false;  // its body's fate is settled
  bool keep_ = false;     // its body goes to the file
  bool badRange_ = false;
};
