#include <package/file_downloader.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <net/http_client.h>
#include <package/download_body.h>
#include <package/download_folder.h>
#include <package/package_digest.h>
#include <platform/file_handle.h>
#include <platform/file_move.h>
#include <platform/os_encoding.h>

std::atomic<double> downloadPercent{0.0};
std::atomic<long long> downloadBytesDone{0};
std::atomic<long long> downloadBytesTotal{0};
std::atomic<bool> cancelRequested{false};

namespace {

constexpr long kReceiveBufferBytes = 512 * 1024;

// Failures after which the same request may well succeed.
bool Retryable(CURLcode result, long status) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_HTTP2:
    case CURLE_PARTIAL_FILE:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2_STREAM:
      return true;
    case CURLE_HTTP_RETURNED_ERROR:
      return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 ||
             status == 504;
    default:
      return false;
  }
}

// The process-wide flag and the caller's own; the user is told once.
struct StopFlags {
  const std::atomic<bool>* caller;
  bool said = false;
  bool Stopped() const { return cancelRequested.load() || (caller != nullptr && caller->load()); }
  void SayInterrupted() {
    if (!std::exchange(said, true)) std::cout << "Download interrupted by user." << std::endl;
  }
};

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
  downloadBytesDone.store(now);
  if (total <= 0) return;  // length not announced
  downloadBytesTotal.store(total);
  const double percent = static_cast<double>(now) / static_cast<double>(total) * 100.0;
  if (percent > downloadPercent.load()) downloadPercent.store(percent);
}

int CFileDownloader::OnTransferInfo(void* stops, long long, long long, long long, long long) {
  auto* flags = static_cast<StopFlags*>(stops);
  if (flags->Stopped()) {
    flags->SayInterrupted();
    return 1;
  }
  return 0;
}

// False when stopped meanwhile.
bool CFileDownloader::WaitBeforeRetry(long waitMs, const std::atomic<bool>* stop) const {
  const StopFlags stops{stop};
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (std::chrono::steady_clock::now() < until) {
    if (stops.Stopped()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return !stops.Stopped();
}

long DownloadRetryWaitMs(long status, long long retryAfterSeconds, int idle, long firstWaitMs) {
  // A busy server's own word, within reason; otherwise 1, 2, 4, ... times
  // the first wait.
  if ((status == 429 || status == 503) && retryAfterSeconds > 0) {
    return static_cast<long>(std::min(retryAfterSeconds, kMaxRetryAfterSeconds)) * 1000;
  }
  return firstWaitMs << std::min(idle, 10);
}

bool CFileDownloader::Download(const std::string& url, const std::string& destination,
                               int& errorCode, const std::string& sha256Hex,
                               const std::atomic<bool>* stop) {
  return Download(std::vector<std::string>{url}, destination, errorCode, sha256Hex, stop);
}

bool CFileDownloader::Download(const std::vector<std::string>& urls, const std::string& destination,
                               int& errorCode, const std::string& sha256Hex,
                               const std::atomic<bool>* stop) {
  downloadPercent = 0.0;
  downloadBytesDone = 0;
  downloadBytesTotal = 0;
  cancelRequested = false;
  locationsTried = 0;
  if (!EnsureCurlGlobalInit()) return false;
  const CurlEasy easy(curl_easy_init());
  if (!easy) return false;
  const std::string folder = PrivateDownloadFolder();
  RemoveStalePartials(folder);
  file = CreatePartialFile(folder, &tempPath);
  if (file == platform::kNoFile) {
    errorCode = kTempFileError;
    return false;
  }
  DownloadBody body(file);
  StopFlags stops{stop};

  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DownloadBody::OnWrite);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &DownloadBody::OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &body);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CFileDownloader::OnTransferInfo);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &stops);
  // The package's programs are run afterwards: certificates and host names
  // stay verified (libcurl's default) and an error status is no package.
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  if (!caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
  // Redirects are followed here, one by one, so each hop's scheme is checked
  // and a redirect's own body never counts as progress.
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  // A server that stops sending ends the attempt instead of the installation.
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallSeconds);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, stallSeconds);

  // One location with its retries; the body on disk is carried from one
  // location to the next, so a location that serves the same file (its
  // validators and size match, which If-Range makes it prove) continues it.
  const auto fetchFrom = [&](const std::string& url) {
    CURLcode result = CURLE_OK;
    // Attempts in a row that added nothing: only they wait and count
    // against the limit. One that brought bytes is followed at once, so a
    // line that drops now and then costs no waiting and still finishes.
    int idle = 0;
    // How far the body on disk has come: an attempt that has to start again
    // from zero (no validator to resume on) brings bytes without bringing
    // the file nearer, and counts as one without progress.
    long long furthest = body.onDisk();
    for (;;) {
      if (stops.Stopped()) {  // a stop that came before the first byte
        stops.SayInterrupted();
        return CURLE_ABORTED_BY_CALLBACK;
      }
      // Resume from what is on disk only when the server can prove it still
      // has the same body (If-Range: otherwise it answers with the whole
      // body); without a validator or a known size, start again from zero.
      if (body.onDisk() > 0 && !body.Resumable()) body.Restart();
      std::string range;
      CurlList headers;
      if (body.onDisk() > 0) {
        range = std::to_string(body.onDisk()) + "-";
        headers.reset(curl_slist_append(nullptr, ("If-Range: " + body.Validator()).c_str()));
        if (!headers) return CURLE_OUT_OF_MEMORY;
      }
      curl_easy_setopt(h, CURLOPT_RANGE, range.empty() ? nullptr : range.c_str());
      curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

      std::string current = url;
      long status = 0;
      for (long hops = 0;; ++hops) {
        curl_easy_setopt(h, CURLOPT_URL, current.c_str());
        body.NewRequest();
        result = curl_easy_perform(h);
        status = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        if (result != CURLE_OK || status < 300 || status > 399) break;
        const char* next = nullptr;
        curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &next);
        if (next == nullptr) {
          result = CURLE_HTTP_RETURNED_ERROR;  // a 3xx that leads nowhere
        } else if (hops == kMaxRedirects) {
          result = CURLE_TOO_MANY_REDIRECTS;
        } else if (!RedirectAllowed(current, next)) {
          result = CURLE_UNSUPPORTED_PROTOCOL;
        } else {
          current = next;
          continue;
        }
        break;
      }
      // The handle keeps its options: the next request must not send these.
      curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
      if (result == CURLE_OK && (status < 200 || status > 299)) {
        result = CURLE_HTTP_RETURNED_ERROR;
      }
      // A body shorter than announced is resumed like a broken connection.
      if (result == CURLE_OK && !body.Complete()) result = CURLE_PARTIAL_FILE;
      if (result == CURLE_OK) return result;
      if (stops.Stopped()) {  // an attempt that failed as the stop came is a stop too
        stops.SayInterrupted();
        return CURLE_ABORTED_BY_CALLBACK;
      }
      // Bytes that fit the body on disk; a range that does not fit starts over.
      const bool progressed = body.onDisk() > furthest && !body.badRange();
      if (progressed) furthest = body.onDisk();
      if (body.badRange()) {
        body.Restart();  // a range that does not fit: the body from the start
      } else if (status == 416 && body.onDisk() > 0) {
        body.Restart();  // the server has less than we hold: another body now
      } else if (!Retryable(result, status)) {
        return result;
      }
      if (progressed) {
        idle = 0;
        continue;
      }
      if (idle >= maxRetries) return result;
      curl_off_t retryAfter = 0;
      curl_easy_getinfo(h, CURLINFO_RETRY_AFTER, &retryAfter);
      if (!WaitBeforeRetry(DownloadRetryWaitMs(status, retryAfter, idle, firstRetryWaitMs), stop)) {
        stops.SayInterrupted();
        return CURLE_ABORTED_BY_CALLBACK;
      }
      ++idle;
    }
  };

  // The locations in order, until one gives the announced package. Only the
  // user's stop and our own disk end the search early: another location
  // cannot help with either.
  int failure = static_cast<int>(CURLE_URL_MALFORMAT);  // no location at all
  for (const std::string& url : urls) {
    if (url.empty()) continue;
    ++locationsTried;
    const CURLcode result = fetchFrom(url);
    if (result != CURLE_OK) {
      std::cerr << "CURL error: " << curl_easy_strerror(result) << std::endl;
      failure = static_cast<int>(result);
      if (result == CURLE_ABORTED_BY_CALLBACK || result == CURLE_WRITE_ERROR) break;
      continue;
    }
    // On disk for good before it takes the package's name: a crash must not
    // leave a destination that only looks whole.
    if (!platform::FlushToDisk(file)) {
      failure = static_cast<int>(CURLE_WRITE_ERROR);
      break;
    }
    const DigestCheck digest = CheckFileDigest(tempPath, sha256Hex, stop);
    if (digest == DigestCheck::Cancelled) {
      stops.SayInterrupted();
      failure = static_cast<int>(CURLE_ABORTED_BY_CALLBACK);
      break;
    }
    if (digest != DigestCheck::Match) {
      // Another location may still have the announced package.
      std::cerr << "Download does not match its announced SHA-256." << std::endl;
      failure = kDigestError;
      body.Restart();
      continue;
    }
    failure =
        platform::MoveFileNoReplace(tempPath, destination) == platform::kSuccess ? 0 : kMoveError;
    break;
  }
  const bool ok = failure == 0;
  if (!ok) errorCode = failure;
  // The partial file goes last, still locked until here: a cleaner in
  // another run never takes it from under the move. A partial body is of
  // no use to anyone.
  if (!ok) {
    std::error_code ec;
    std::filesystem::remove(platform::OsPath(platform::OsNarrowToWide(tempPath)), ec);
  }
  platform::CloseFile(file);
  file = platform::kNoFile;
  return ok;
}

void CFileDownloader::Cancel() { cancelRequested.exchange(true); }

CFileDownloader& GetFileDownloader() {
  static CFileDownloader downloader;
  return downloader;
}

bool DownloadFile(const std::string& url, const std::string& destination,
                  const std::string& sha256Hex, const std::atomic<bool>* stop) {
  if (url.empty() || destination.empty()) return false;
  int errorCode = 0;
  GetFileDownloader().Download(url, destination, errorCode, sha256Hex, stop);
  return true;
}
