#include <package/download_body.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <package/file_downloader.h>

namespace {

constexpr std::size_t kWritePiece = 64 * 1024;

bool StartsWithNoCase(const char* text, std::size_t length, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  if (length < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

std::string HeaderValue(const char* line, std::size_t length, std::size_t nameLength) {
  std::string value(line + nameLength, length - nameLength);
  const auto first = value.find_first_not_of(" \t");
  const auto last = value.find_last_not_of(" \t\r\n");
  return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

}  // namespace

std::string DownloadBody::Validator() const {
  if (!etag_.empty() && etag_.rfind("W/", 0) != 0) return etag_;  // weak ones cannot be used
  return lastModified_;
}

bool DownloadBody::Resumable() const {
  return onDisk_ > 0 && total_ != kUnknown && !Validator().empty();
}

bool DownloadBody::SameBody() const {
  // The ETag is repeated in a partial answer whenever the whole one had it;
  // Last-Modified may be left out, unless it is what If-Range relied on.
  if (responseEtag_ != etag_) return false;
  if (responseLastModified_ == lastModified_) return true;
  return responseLastModified_.empty() && Validator() == etag_;
}

void DownloadBody::NewRequest() {
  badRange_ = false;
  NewResponse(0);
}

void DownloadBody::NewResponse(long status) {
  status_ = status;
  contentLength_ = rangeStart_ = rangeTotal_ = kUnknown;
  responseEtag_.clear();
  responseLastModified_.clear();
  decided_ = keep_ = false;
}

void DownloadBody::Restart() {
  onDisk_ = 0;
  total_ = kUnknown;
  etag_.clear();
  lastModified_.clear();
  (void)platform::TruncateFile(fd_, 0);  // the file is written by position: a failure only leaves slack
}

bool DownloadBody::Decide() {
  decided_ = true;
  if (status_ == 200) {
    // A whole body: the first, or from a server that ignores ranges or whose
    // file changed since. Either way the file starts again.
    if (onDisk_ > 0) Restart();
    total_ = contentLength_;
    etag_ = responseEtag_;
    lastModified_ = responseLastModified_;
    keep_ = true;
  } else if (status_ == 206) {
    if (onDisk_ == 0) {
      // No range was asked for: a part from byte 0 starts the file.
      if (rangeStart_ != 0 || rangeTotal_ <= 0) {
        badRange_ = true;
        return false;
      }
      etag_ = responseEtag_;
      lastModified_ = responseLastModified_;
    } else if (rangeStart_ != onDisk_ || total_ == kUnknown || rangeTotal_ != total_ ||
               !SameBody()) {
      // Another body's bytes (a server that ignored If-Range, or changed
      // its file) would be joined to ours.
      badRange_ = true;
      return false;
    }
    total_ = rangeTotal_;
    keep_ = true;
  }
  return true;
}

std::size_t DownloadBody::OnHeader(char* line, std::size_t size, std::size_t count, void* self) {
  auto* b = static_cast<DownloadBody*>(self);
  const std::size_t length = size * count;
  if (StartsWithNoCase(line, length, "HTTP/")) {
    const char* space = static_cast<const char*>(std::memchr(line, ' ', length));
    b->NewResponse(space != nullptr ? std::strtol(space + 1, nullptr, 10) : 0);
  } else if (StartsWithNoCase(line, length, "content-length:")) {
    b->contentLength_ = std::strtoll(HeaderValue(line, length, 15).c_str(), nullptr, 10);
  } else if (StartsWithNoCase(line, length, "content-range:")) {
    // bytes FIRST-LAST/TOTAL
    const std::string value = HeaderValue(line, length, 14);
    long long first = 0;
    long long last = 0;
    long long whole = 0;
    if (std::sscanf(value.c_str(), "bytes %lld-%lld/%lld", &first, &last, &whole) == 3 &&
        0 <= first && first <= last && last < whole) {
      b->rangeStart_ = first;
      b->rangeTotal_ = whole;
    }
  } else if (StartsWithNoCase(line, length, "etag:")) {
    b->responseEtag_ = HeaderValue(line, length, 5);
  } else if (StartsWithNoCase(line, length, "last-modified:")) {
    b->responseLastModified_ = HeaderValue(line, length, 14);
  }
  return length;
}

std::size_t DownloadBody::OnWrite(char* data, std::size_t size, std::size_t count, void* self) {
  auto* b = static_cast<DownloadBody*>(self);
  const std::size_t bytes = size * count;
  if (!b->decided_ && !b->Decide()) return 0;
  if (!b->keep_) return bytes;
  // Straight to the file in 64 KiB pieces (measured: the cheapest write
  // size here, and on two cores a writer thread only competed with the
  // network). Fewer bytes than delivered (nothing at all on a full disk)
  // makes libcurl end the transfer with its write error.
  for (std::size_t done = 0; done < bytes;) {
    const long long n = platform::WriteAt(b->fd_, data + done, std::min(kWritePiece, bytes - done),
                                          static_cast<std::uint64_t>(b->onDisk_));
    if (n <= 0) return done;
    done += static_cast<std::size_t>(n);
    b->onDisk_ += n;
  }
  CFileDownloader::OnProgress(b->total_, b->onDisk_);
  return bytes;
}
