#pragma once
// Blob downloads as the real runner runs them: one download per digest,
// shared by every pull that waits for it, running on its own thread and
// cancelled when the last waiter leaves. The bytes go to
// "<blob>-partial" with a record per part ("<blob>-partial-N"), so a
// cancelled or failed download resumes where it stopped; a finished one is
// renamed to the blob. The parts (at most 16) are fetched at once, each
// with its own range request. A failed transfer is retried six times, waiting 1, 2,
// 4, ... seconds (TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS scales the wait). A
// finished part ends on its watchdog's next one-second tick
// (TIDEWELL_FAKE_OLLAMA_WATCHDOG_MS).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include <tests/fakes/ollama_registry.h>
#include <tests/fakes/ollama_store.h>

namespace fake_ollama {

struct DownloadState;

class BlobDownloads {
 public:
  BlobDownloads(const ModelStore& store, std::string sourceUrl);
  ~BlobDownloads();
  BlobDownloads(const BlobDownloads&) = delete;
  BlobDownloads& operator=(const BlobDownloads&) = delete;

  // Progress of one layer: its digest's total and bytes so far.
  using ProgressFn = std::function<bool(std::int64_t total, std::int64_t completed)>;

  // Fetches the layer unless its blob is there, telling progress every 60 ms
  // while it runs (and once, complete, for a blob already there). progress
  // returning false means the waiter left; the call then returns at once
  // with "context canceled". Returns "" or the error text.
  std::string Fetch(const RemoteLayer& layer, const std::string& url, const ProgressFn& progress,
                    bool* cacheHit);

  // Cancels every download and waits for their threads (server shutdown).
  void StopAll();

 private:
  std::shared_ptr<DownloadState> Join(const RemoteLayer& layer, const std::string& url,
                                      std::string* error);
  void Run(const std::shared_ptr<DownloadState>& state);
  void Release(const std::shared_ptr<DownloadState>& state);

  const ModelStore& store_;
  std::string source_;
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<DownloadState>> running_;
  std::condition_variable idle_;
  int active_ = 0;  // download threads still running
  bool stopping_ = false;
};

}  // namespace fake_ollama
