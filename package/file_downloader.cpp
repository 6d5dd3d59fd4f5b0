#include <package/file_downloader.h>

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>

#include <platform/file_move.h>
#include <platform/known_folders.h>
#include <platform/os_encoding.h>
#include <service/http_client.h>

std::atomic<double> downloadPercent{0.0};
std::atomic<bool> cancelRequested{false};

namespace {

constexpr long kReceiveBufferBytes = 512 * 1024;
constexpr std::size_t kWritePiece = 64 * 1024;
constexpr long kMaxRedirects = 20;

// Never unlinks anything but a regular file (a test or a user may point the
// temporary path at a device).
void RemoveTempFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
}

}  // namespace

std::string MakeRandomName() {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  std::string name;
  for (int i = 0; i < 10; ++i) {
    const int kind = std::rand() % 3;
    const int pick = std::rand();
    if (kind == 1) {
      name.push_back(static_cast<char>('A' + pick % 26));
    } else if (kind == 2) {
      name.push_back(static_cast<char>('a' + pick % 26));
    } else {
      name.push_back(static_cast<char>('0' + pick % 10));
    }
  }
  return name;
}

CFileDownloader::CFileDownloader() = default;
CFileDownloader::~CFileDownloader() = default;

void CFileDownloader::OnProgress(long long total, long long now) {
  if (total <= 0) return;  // length not announced
  const double percent = static_cast<double>(now) / static_cast<double>(total) * 100.0;
  if (percent > downloadPercent.load()) downloadPercent.store(percent);
}

int CFileDownloader::OnTransferInfo(void* cancel, long long total, long long now, long long,
                                    long long) {
  if (static_cast<std::atomic<bool>*>(cancel)->load()) {
    std::cout << "Download interrupted by user." << std::endl;
    return 1;
  }
  OnProgress(total, now);
  return 0;
}

std::size_t CFileDownloader::OnWrite(char* data, std::size_t size, std::size_t count, void* self) {
  const int fd = static_cast<CFileDownloader*>(self)->file;
  const std::size_t bytes = size * count;
  // Straight to the file in 64 KiB pieces (measured: the cheapest write size
  // here, and on two cores a writer thread only competed with the network).
  // Fewer bytes than delivered (nothing at all on a full disk) makes libcurl
  // end the transfer with its write error.
  for (std::size_t done = 0; done < bytes;) {
    const ssize_t n = ::write(fd, data + done, std::min(kWritePiece, bytes - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done;
    done += static_cast<std::size_t>(n);
  }
  return bytes;
}

bool CFileDownloader::Download(const std::string& url, const std::string& destination,
                               int& errorCode) {
  downloadPercent = 0.0;
  cancelRequested = false;
  if (!EnsureCurlGlobalInit()) return false;
  const CurlEasy easy(curl_easy_init());
  if (!easy) return false;
  if (tempPath.empty()) {
    tempPath = platform::WideToOsNarrow(platform::TempFolder()) + "/" + MakeRandomName() + ".tmp";
  }
  // Truncated, not appended: the destination gets exactly this transfer's body.
  file = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) {
    errorCode = kTempFileError;
    return false;
  }

  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CFileDownloader::OnWrite);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CFileDownloader::OnTransferInfo);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &cancelRequested);
  // The package's programs are run afterwards: certificates and host names
  // stay verified (libcurl's default), an error status is no package, and a
  // host that redirects to its mirror works.
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);

  CURLcode result = curl_easy_perform(h);
  if (::close(file) != 0 && result == CURLE_OK) result = CURLE_WRITE_ERROR;
  file = -1;
  if (result != CURLE_OK) std::cerr << "CURL error: " << curl_easy_strerror(result) << std::endl;
  if (cancelRequested) RemoveTempFile(tempPath);
  if (result != CURLE_OK) {
    RemoveTempFile(tempPath);  // a partial body is of no use to anyone
    errorCode = static_cast<int>(result);
    return false;
  }
  if (platform::MoveFileNoReplace(tempPath, destination) != platform::kSuccess) {
    errorCode = kMoveError;
    return false;
  }
  return true;
}

void CFileDownloader::Cancel() { cancelRequested.exchange(true); }

CFileDownloader& GetFileDownloader() {
  static CFileDownloader downloader;
  return downloader;
}

bool DownloadFile(const std::string& url, const std::string& destination) {
  if (url.empty() || destination.empty()) return false;
  int errorCode = 0;
  GetFileDownloader().Download(url, destination, errorCode);
  return true;
}
