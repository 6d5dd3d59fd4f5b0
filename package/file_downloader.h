#pragma once
// Downloads the install package: one GET streamed into a temporary file,
// moved to its destination when complete, with a live percentage and a
// cancel flag. Transfers must not overlap: the two flags are process-wide.
#include <atomic>
#include <string>

// Progress of the current transfer, 0 to 100; never goes down during one.
extern std::atomic<double> downloadPercent;
// Set to stop the running transfer; cleared when a transfer starts.
extern std::atomic<bool> cancelRequested;

class CFileDownloader {
 public:
  static constexpr int kTempFileError = 100;  // the temporary file cannot be opened
  static constexpr int kMoveError = 101;      // it cannot become the destination

  CFileDownloader();
  ~CFileDownloader();

  // True when the destination file was produced. Otherwise errorCode holds
  // 100, 101 or libcurl's result (42 when cancelled, 22 for an HTTP error
  // status). Paths and URL are in the OS narrow encoding.
  bool Download(const std::string& url, const std::string& destination, int& errorCode);
  void Cancel();

  // The progress rule: a known total moves the percentage up, never down.
  static void OnProgress(long long total, long long now);

  // Chosen by the first transfer, reused by the later ones of the run.
  std::string tempPath;

 private:
  static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* self);
  static int OnTransferInfo(void* cancel, long long total, long long now, long long, long long);

  int file = -1;  // the open temporary file during a transfer
};

// Ten random letters and digits, for temporary file names.
std::string MakeRandomName();

// The process's downloader.
CFileDownloader& GetFileDownloader();

// False when the URL or the destination is empty; otherwise downloads and
// returns true whatever the outcome: callers look for the destination file.
bool DownloadFile(const std::string& url, const std::string& destination);
