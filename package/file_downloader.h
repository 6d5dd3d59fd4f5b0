#pragma once
// Downloads the install package: GETs streamed into a private partial file,
// moved to its destination when complete, with a live percentage and a
// cancel flag. An attempt that ends early (a stall, a reset, a short body,
// a busy server) is retried a few times, with growing waits; the user sees
// one download. A retry resumes from the bytes already on disk only when
// the first answer announced its size and a strong validator (a strong
// ETag or Last-Modified) that the partial answer repeats; otherwise it
// starts again from zero. Transfers must not
// overlap: the two flags are process-wide.
#include <atomic>
#include <string>
#include <vector>

#include <platform/file_handle.h>

// Progress of the current transfer, 0 to 100; never goes down during one.
extern std::atomic<double> downloadPercent;
// Bytes of the current transfer on disk and announced in all (0 when not
// announced), for a person to read.
extern std::atomic<long long> downloadBytesDone;
extern std::atomic<long long> downloadBytesTotal;
// Set to stop the running transfer; cleared when a transfer starts.
extern std::atomic<bool> cancelRequested;
// A caller that must not lose a stop arriving just before the start passes
// its own flag as well (never cleared here).

class CFileDownloader {
 public:
  static constexpr int kTempFileError = 100;  // the partial file cannot be created
  static constexpr int kMoveError = 101;      // it cannot become the destination
  static constexpr int kDigestError = 102;    // the body is not the announced package
  static constexpr long kMaxRedirects = 20;

  CFileDownloader();
  ~CFileDownloader();

  // True when the destination file was produced. Otherwise errorCode holds
  // 100, 101, 102 or libcurl's result of the last attempt (42 when
  // cancelled, 22 for an HTTP error status, 47 for too many redirects, 1 for
  // a redirect to another scheme or from https to http, 28 for a stall).
  // Paths and URL are in the OS narrow encoding. A non-empty sha256Hex must
  // match the body, else nothing is kept. A true *stop (null: none) ends
  // the transfer as Cancel() does, also before the first byte, during the
  // waits between attempts and during the digest check.
  bool Download(const std::string& url, const std::string& destination, int& errorCode,
                const std::string& sha256Hex = {}, const std::atomic<bool>* stop = nullptr);
  // The same package from several locations, tried in order: the next one
  // is asked when a location fails after its retries (or its body does not
  // match sha256Hex). It continues the bytes on disk when it proves it has
  // the same body (If-Range with the previous answer's validator, the same
  // total size), else starts from zero. errorCode then names the last
  // location's failure. Empty entries are skipped; no location at all is
  // 3 (a malformed URL).
  bool Download(const std::vector<std::string>& urls, const std::string& destination,
                int& errorCode, const std::string& sha256Hex = {},
                const std::atomic<bool>* stop = nullptr);
  void Cancel();

  // The progress rule: a known total moves the percentage up, never down.
  static void OnProgress(long long total, long long now);

  // The partial file of the latest transfer.
  std::string tempPath;
  // How many locations the latest transfer asked.
  int locationsTried = 0;

  // Tests shorten these.
  long stallSeconds = 30;        // no byte for this long ends an attempt
  // Attempts in a row that receive nothing, after the first; one that
  // brings bytes is followed at once and starts the count again.
  int maxRetries = 5;
  long firstRetryWaitMs = 1000;  // doubled before each further such attempt
  std::string caFile;            // certificates to trust instead of the system's (tests)

 private:
  static int OnTransferInfo(void* stops, long long, long long, long long, long long);
  bool WaitBeforeRetry(long waitMs, const std::atomic<bool>* stop) const;

  platform::NativeFile file = platform::kNoFile;  // the open partial file during a transfer
};

// The longest Retry-After (429, 503) a download waits for.
inline constexpr long long kMaxRetryAfterSeconds = 30;
// How long to wait before the next attempt, after `idle` attempts in a row
// that received nothing, the last answered with status and Retry-After
// (seconds; 0 without one).
long DownloadRetryWaitMs(long status, long long retryAfterSeconds, int idle, long firstWaitMs);

// Ten random letters and digits. The documented name of the partial file's
// name source; partial files are now made by CreatePartialFile, so only
// tests call it.
std::string MakeRandomName();

// The process's downloader.
CFileDownloader& GetFileDownloader();

// False when the URL or the destination is empty; otherwise downloads and
// returns true whatever the outcome: callers look for the destination file.
bool DownloadFile(const std::string& url, const std::string& destination,
                  const std::string& sha256Hex = {}, const std::atomic<bool>* stop = nullptr);
