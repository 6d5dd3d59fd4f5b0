#pragma once
// Which models the stand-in runner holds in memory, kept as the real
// scheduler keeps them (server/sched.go, llm/server.go): the first request
// for a model loads it, taking TIDEWELL_FAKE_OLLAMA_LOAD_MS (default 2000);
// later requests find it loaded until it has been idle for its keep-alive
// (the last keep_alive a request gave, else OLLAMA_KEEP_ALIVE, else five
// minutes; a negative one never ends, a zero one ends as its last request
// does).
//
// Memory: a model needs its weights' bytes, an eighth more and 256 MiB (a
// stand-in for the context cache and compute graph the real estimate adds
// for a load on the processor). TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES is
// the machine's free memory and swap with no model loaded (unset: plenty).
// Loaded models take their need from it; idle ones are unloaded to make room
// and busy ones waited for, as the real scheduler expires one to fit
// another; a model that still does not fit fails with the real words.
//
// TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING=1: the runner process ends half-way
// through every load, which fails as a runner that exits does.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <json/json.h>
#include <tests/fakes/ollama_store.h>

namespace fake_ollama {

using Nanoseconds = std::chrono::nanoseconds;

// What a model with weights of that size needs, as above.
std::uint64_t MemoryNeed(std::int64_t weightBytes);

// Go's time.ParseDuration: "5m", "1h30m", "-1.5s", "0". False with *error
// set to Go's words: `time: invalid duration "x"`, `time: missing unit in
// duration "5"`, `time: unknown unit "d" in duration "1d"`.
bool ParseGoDuration(const std::string& text, Nanoseconds* duration, std::string* error);

// A request's keep_alive as the runner's api.Duration reads it: a number of
// seconds (the fraction dropped) or a Go duration; negative means forever.
// Left empty when it is absent or null. "" or the error text.
std::string ReadKeepAlive(const Json::Value& value, std::optional<Nanoseconds>* keepAlive);

// Sleeps for the time given in short steps; false as soon as the server is
// stopping.
bool PauseUnlessStopping(Nanoseconds time, const std::atomic<bool>& stopping);

// A model held in memory as GET /api/ps lists it.
struct RunningModel {
  std::string name;  // the shortest form of the name that loaded it
  std::uint64_t size = 0;
  // When it goes if it stays idle (wall clock): set as its last request
  // ended, or its keep-alive from now while it has had none end.
  std::int64_t expiresSeconds = 0, expiresNanoseconds = 0;
};

class Scheduler;

// A model held for one request; letting go starts its keep-alive.
class ModelLease {
 public:
  ModelLease(Scheduler& scheduler, std::string key) : scheduler_(scheduler), key_(std::move(key)) {}
  ~ModelLease();
  ModelLease(const ModelLease&) = delete;
  ModelLease& operator=(const ModelLease&) = delete;

 private:
  Scheduler& scheduler_;
  std::string key_;
};

class Scheduler {
 public:
  explicit Scheduler(const std::atomic<bool>& stopping);

  // Holds the model with these weights for a request, loading it first when
  // it is not loaded (a model is known by its weights, as the real one
  // keys its runners by the weights' file). keepAlive, when given,
  // becomes the model's. "" with *lease set, or the error text, which the
  // real server answers with status 500.
  std::string Acquire(const Layer& weights, const std::string& name,
                      const std::optional<Nanoseconds>& keepAlive,
                      std::shared_ptr<ModelLease>* lease);
  // keep_alive 0 with nothing to answer: the model goes now, or as soon as
  // its last request ends.
  void Expire(const std::string& key);
  // The models in memory (those loading too), the longest to stay first.
  std::vector<RunningModel> Running();

 private:
  friend class ModelLease;
  struct Loaded {
    std::string name;
    std::uint64_t need = 0;
    bool loading = true;
    int users = 0;
    Nanoseconds keepAlive{0};
    std::chrono::steady_clock::time_point idleSince;
    std::optional<RunningModel> listed;  // its expiry, once it has gone idle
  };
  void Release(const std::string& key);
  // With the lock held: drops the models whose keep-alive has run out.
  void DropExpired();
  std::uint64_t Occupied() const;
  // With the lock held: room for need beside the other models, unloading
  // idle ones and waiting for busy ones; "" or the error text.
  std::string MakeRoom(std::unique_lock<std::mutex>& lock, std::uint64_t need);
  // The load itself, without the lock; "" or the error text.
  std::string Load() const;

  const std::atomic<bool>& stopping_;
  const std::optional<std::uint64_t> freeMemory_;
  const Nanoseconds defaultKeepAlive_, loadTime_;
  const bool dieWhileLoading_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Loaded> models_;
};

}  // namespace fake_ollama
