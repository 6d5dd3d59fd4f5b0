#include <tests/fakes/ollama_download.h>

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <json/json.h>
#include <platform/atomic_file.h>
#include <platform/file_handle.h>
#include <platform/update_file.h>
#include <platform/whole_file.h>
#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/utf8_path.h>

namespace fs = std::filesystem;
using fake_text::PathText;
using fake_text::Utf8Path;

namespace fake_ollama {

namespace {

constexpr int kParts = 16;
constexpr std::int64_t kMinPartSize = 100'000'000, kMaxPartSize = 1'000'000'000;
constexpr int kMaxRetries = 6;
constexpr auto kTick = std::chrono::milliseconds(60);

// The operating system's message as Go words it: lower case.
std::string ErrnoText(int error) {
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

std::chrono::milliseconds MillisecondsOr(const char* name, long fallback) {
  const std::string value = EnvValue(name);
  return std::chrono::milliseconds(value.empty() ? fallback
                                                 : std::max(0L, std::atol(value.c_str())));
}

std::chrono::milliseconds RetryBase() {
  return MillisecondsOr("TIDEWELL_FAKE_OLLAMA_RETRY_BASE_MS", 1000);
}

// A part's transfer ends only when its stall watchdog, ticking each second
// from the transfer's start, sees it complete: so every layer shows at 100%
// for a while, however small. Tests shorten the tick.
std::chrono::milliseconds WatchdogTick() {
  return std::max(std::chrono::milliseconds(1),
                  MillisecondsOr("TIDEWELL_FAKE_OLLAMA_WATCHDOG_MS", 1000));
}

}  // namespace

struct DownloadPart {
  int n = 0;
  std::int64_t offset = 0, size = 0, completed = 0;
};

struct DownloadState {
  RemoteLayer layer;
  std::string url;
  fs::path blob, partial;
  std::int64_t total = 0;
  std::vector<DownloadPart> parts;
  std::atomic<std::int64_t> completed{0};
  std::atomic<bool> cancelled{false};
  int references = 0;  // guarded by the manager's mutex

  // A part failed for good: the others stop, as an error group's do.
  std::atomic<bool> failed{false};

  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  std::string error;
  std::string firstFailure;  // the failed part's error, under mutex

  fs::path PartRecord(int n) const { return Utf8Path(PathText(partial) + "-" + std::to_string(n)); }
  bool Stopping() const { return cancelled.load() || failed.load(); }
  // Waits up to the time given; false when stopped meanwhile.
  bool Sleep(std::chrono::milliseconds time) {
    std::unique_lock lock(mutex);
    return !changed.wait_for(lock, time, [this] { return Stopping(); });
  }
  void Fail(const std::string& text) {
    std::lock_guard lock(mutex);
    if (!failed.exchange(true)) firstFailure = text;
    changed.notify_all();
  }
};

namespace {

int WritePartRecord(const DownloadState& state, const DownloadPart& part) {
  Json::Value record(Json::objectValue);
  record["N"] = part.n;
  record["Offset"] = Json::Int64(part.offset);
  record["Size"] = Json::Int64(part.size);
  record["Completed"] = Json::Int64(part.completed);
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  return platform::WriteFileAtomically(state.PartRecord(part.n),
                                       Json::writeString(builder, record) + "\n");
}

// The part records a stopped download left; false when there are none.
bool ReadPartRecords(DownloadState* state) {
  for (int n = 0;; ++n) {
    std::string text;
    if (!platform::ReadWholeFileExact(state->PartRecord(n), text)) return n > 0;
    Json::Value record;
    std::string error;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (!reader->parse(text.data(), text.data() + text.size(), &record, &error) ||
        !record.isObject()) {
      return false;
    }
    DownloadPart part{n, record["Offset"].asInt64(), record["Size"].asInt64(),
                      record["Completed"].asInt64()};
    part.completed = std::clamp<std::int64_t>(part.completed, 0, part.size);
    state->parts.push_back(part);
  }
}

}  // namespace

BlobDownloads::BlobDownloads(const ModelStore& store, std::string sourceUrl)
    : store_(store), source_(std::move(sourceUrl)) {}

BlobDownloads::~BlobDownloads() { StopAll(); }

std::shared_ptr<DownloadState> BlobDownloads::Join(const RemoteLayer& layer, const std::string& url,
                                                   std::string* error) {
  std::lock_guard lock(mutex_);
  if (stopping_) {
    *error = "context canceled";
    return nullptr;
  }
  if (auto it = running_.find(layer.layer.digest); it != running_.end()) {
    ++it->second->references;
    return it->second;
  }
  auto state = std::make_shared<DownloadState>();
  state->layer = layer;
  state->url = url;
  state->blob = store_.BlobPath(layer.layer.digest);
  state->partial = Utf8Path(PathText(state->blob) + "-partial");
  if (const int status = store_.MakeFolders(); status != 0) {
    *error = "mkdir " + PathText(store_.root() / "blobs") + ": " + ErrnoText(status);
    return nullptr;
  }
  if (ReadPartRecords(state.get())) {
    for (const auto& part : state->parts) {
      state->total += part.size;
      state->completed += part.completed;
    }
  } else {
    state->parts.clear();
    state->total = layer.layer.size;
    const std::int64_t size = std::clamp(state->total / kParts, kMinPartSize, kMaxPartSize);
    for (std::int64_t offset = 0; offset < state->total; offset += size) {
      DownloadPart part{static_cast<int>(state->parts.size()), offset,
                        std::min(size, state->total - offset), 0};
      if (const int status = WritePartRecord(*state, part); status != 0) {
        *error = "open " + PathText(state->PartRecord(part.n)) + ": " + ErrnoText(status);
        return nullptr;
      }
      state->parts.push_back(part);
    }
  }
  state->references = 1;
  running_[layer.layer.digest] = state;
  std::thread([this, state] { Run(state); }).detach();
  ++active_;
  return state;
}

void BlobDownloads::Release(const std::shared_ptr<DownloadState>& state) {
  std::lock_guard lock(mutex_);
  if (--state->references == 0) {
    std::lock_guard stateLock(state->mutex);
    state->cancelled = true;
    state->changed.notify_all();
  }
}

std::string BlobDownloads::Fetch(const RemoteLayer& layer, const std::string& url,
                                 const ProgressFn& progress, bool* cacheHit) {
  *cacheHit = false;
  if (const std::int64_t size = store_.BlobSize(layer.layer.digest); size >= 0) {
    *cacheHit = true;
    progress(size, size);
    return "";
  }
  std::string error;
  const std::shared_ptr<DownloadState> state = Join(layer, url, &error);
  if (state == nullptr) return error;
  for (;;) {
    {
      std::unique_lock lock(state->mutex);
      if (state->changed.wait_for(lock, kTick, [&] { return state->done; })) {
        error = state->error;
        break;
      }
    }
    if (!progress(state->total, state->completed.load())) {
      error = "context canceled";
      break;
    }
  }
  Release(state);
  return error;
}

namespace {

// One part's transfer with its retries, on its own thread: "" once the part
// is complete, else why it stopped.
std::string FetchPart(DownloadState& state, DownloadPart& part, platform::NativeFile fd) {
  std::string base, prefix;
  const bool haveSource = SplitBaseUrl(state.url, &base, &prefix);
  std::string error;
  for (int attempt = 0; error.empty() && part.completed < part.size; ++attempt) {
    const auto began = std::chrono::steady_clock::now();
    const std::int64_t start = part.offset + part.completed, stop = part.offset + part.size;
    int writeError = 0;
    std::string transfer;
    const auto take = [&](const char* data, std::size_t length) {
      if (state.Stopping()) return false;
      length = static_cast<std::size_t>(std::min<std::int64_t>(
          static_cast<std::int64_t>(length), stop - (part.offset + part.completed)));
      for (std::size_t done = 0; done < length;) {
        const long long n =
            platform::WriteAt(fd, data + done, length - done,
                              static_cast<std::uint64_t>(part.offset + part.completed) + done);
        if (n <= 0) {
          writeError = n < 0 ? errno : ENOSPC;
          return false;
        }
        done += static_cast<std::size_t>(n);
      }
      part.completed += static_cast<std::int64_t>(length);
      state.completed += static_cast<std::int64_t>(length);
      return true;
    };
    if (!state.layer.fromSource) {
      take(state.layer.bytes.data() + start, static_cast<std::size_t>(stop - start));
    } else if (!haveSource) {
      transfer = "unsupported protocol scheme";
    } else {
      httplib::Client client(base);
      client.set_connection_timeout(10);
      client.set_read_timeout(30);
      const httplib::Headers range = {
          {"Range", "bytes=" + std::to_string(start) + "-" + std::to_string(stop - 1)}};
      std::int64_t skip = 0;  // a source that ignores the range sends it all
      int status = 0;
      const httplib::Result result = client.Get(
          state.url.substr(base.size()), range,
          [&](const httplib::Response& response) {
            status = response.status;
            if (status == 200) skip = start;
            return status == 200 || status == 206;
          },
          [&](const char* data, std::size_t length) {
            const auto dropped = static_cast<std::size_t>(
                std::min<std::int64_t>(skip, static_cast<std::int64_t>(length)));
            skip -= static_cast<std::int64_t>(dropped);
            return take(data + dropped, length - dropped);
          });
      if (status != 0 && status != 200 && status != 206) {
        transfer = "unexpected status code " + std::to_string(status);
      } else if (!result && result.error() != httplib::Error::Canceled) {
        transfer = TransportError(state.url, base.substr(7), static_cast<int>(result.error()));
      } else if (part.completed < part.size && writeError == 0 && !state.Stopping()) {
        transfer = "unexpected EOF";
      }
    }
    WritePartRecord(state, part);
    if (state.Stopping()) {
      error = "context canceled";
    } else if (writeError != 0) {
      error = "write " + PathText(state.partial) + ": " + ErrnoText(writeError);
    } else if (part.completed == part.size) {
      const auto ran = std::chrono::steady_clock::now() - began;
      const auto tick = WatchdogTick();
      const auto wait = tick * (ran / tick + 1) - ran;
      if (!state.Sleep(std::chrono::duration_cast<std::chrono::milliseconds>(wait))) {
        error = "context canceled";
      }
    } else if (!transfer.empty()) {
      if (attempt + 1 >= kMaxRetries) {
        error = "max retries exceeded: " + transfer;
      } else if (!state.Sleep(RetryBase() * (1 << attempt))) {
        error = "context canceled";
      }
    }
  }
  return error;
}

}  // namespace

void BlobDownloads::Run(const std::shared_ptr<DownloadState>& state) {
  std::string error;
  platform::FileHandle file(platform::OpenPrivateFileToUpdate(state->partial));
  if (!file.valid()) {
    error = "open " + PathText(state->partial) + ": " + ErrnoText(errno);
  } else if (!platform::TruncateFile(file.get(), static_cast<std::uint64_t>(state->total))) {
    error = "truncate " + PathText(state->partial) + ": " + ErrnoText(errno);
  }
  if (error.empty()) {
    // Every unfinished part at once (there are at most 16), each with its
    // own range request; the first that fails for good stops the others.
    std::vector<std::thread> parts;
    for (auto& part : state->parts) {
      if (part.completed >= part.size) continue;
      parts.emplace_back([&state, &part, fd = file.get()] {
        const std::string failure = FetchPart(*state, part, fd);
        if (!failure.empty() && !state->cancelled) state->Fail(failure);
      });
    }
    for (auto& each : parts) each.join();
    if (state->cancelled) {
      error = "context canceled";
    } else if (state->failed) {
      std::lock_guard lock(state->mutex);
      error = state->firstFailure;
    }
  }
  if (file.valid()) {
    if (error.empty() && !platform::FlushToDisk(file.get()))
      error = "sync " + PathText(state->partial) + ": " + ErrnoText(errno);
    file.reset();  // Windows renames no file that is still open
  }
  if (error.empty()) {
    std::error_code ec;
    for (const auto& part : state->parts) fs::remove(state->PartRecord(part.n), ec);
    fs::rename(state->partial, state->blob, ec);
    if (ec) {
      error = "rename " + PathText(state->partial) + " " + PathText(state->blob) + ": " +
              ErrnoText(ec.value());
    }
  }
  std::lock_guard lock(mutex_);
  running_.erase(state->layer.layer.digest);
  {
    std::lock_guard stateLock(state->mutex);
    state->done = true;
    state->error = error;
    state->changed.notify_all();
  }
  --active_;
  idle_.notify_all();
}

void BlobDownloads::StopAll() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  for (auto& [digest, state] : running_) {
    std::lock_guard stateLock(state->mutex);
    state->cancelled = true;
    state->changed.notify_all();
  }
  idle_.wait(lock, [this] { return active_ == 0; });
}

}  // namespace fake_ollama
