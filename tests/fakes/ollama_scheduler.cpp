#include <tests/fakes/ollama_scheduler.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>

#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/ollama_format.h>

namespace fake_ollama {

namespace {

using Clock = std::chrono::steady_clock;

constexpr Nanoseconds kForever = Nanoseconds::max();
constexpr auto kStep = std::chrono::milliseconds(20);
constexpr std::uint64_t kMaxDuration = std::uint64_t{1} << 63;

// Go's time package quotes a duration byte by byte: anything outside
// printable ASCII as \xNN.
std::string GoTimeQuote(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 || byte < 0x20) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::uint64_t UnitNanoseconds(const std::string& unit) {
  static const std::map<std::string, std::uint64_t> kUnits = {
      {"ns", 1},
      {"us", 1'000},
      {"\xc2\xb5s", 1'000},  // U+00B5 micro sign
      {"\xce\xbcs", 1'000},  // U+03BC Greek mu
      {"ms", 1'000'000},
      {"s", 1'000'000'000},
      {"m", 60'000'000'000},
      {"h", 3'600'000'000'000}};
  const auto found = kUnits.find(unit);
  return found == kUnits.end() ? 0 : found->second;
}

bool Digit(char c) { return c >= '0' && c <= '9'; }

Nanoseconds DefaultKeepAlive() {
  const std::string value = EnvValue("OLLAMA_KEEP_ALIVE");
  Nanoseconds keepAlive = std::chrono::minutes(5);
  std::string error;
  if (Nanoseconds parsed{}; !value.empty() && ParseGoDuration(value, &parsed, &error)) {
    keepAlive = parsed;
  } else if (char* end = nullptr; !value.empty()) {
    const long long seconds = std::strtoll(value.c_str(), &end, 10);
    if (*end == '\0') keepAlive = std::chrono::seconds(seconds);
  }
  return keepAlive < Nanoseconds::zero() ? kForever : keepAlive;
}

std::optional<std::uint64_t> FreeMemory() {
  const std::string value = EnvValue("TIDEWELL_FAKE_OLLAMA_FREE_MEMORY_BYTES");
  if (value.empty()) return std::nullopt;
  return std::strtoull(value.c_str(), nullptr, 10);
}

Nanoseconds LoadTime() {
  const std::string value = EnvValue("TIDEWELL_FAKE_OLLAMA_LOAD_MS");
  return std::chrono::milliseconds(value.empty() ? 2000 : std::max(0L, std::atol(value.c_str())));
}

// The wall clock that much later, in seconds and nanoseconds (forever is
// some three hundred years on, as Go adds the longest duration).
void WallClockAfter(Nanoseconds wait, RunningModel* model) {
  constexpr std::int64_t kBillion = 1'000'000'000;
  const auto now =
      std::chrono::duration_cast<Nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  model->expiresSeconds = now / kBillion + wait.count() / kBillion;
  model->expiresNanoseconds = now % kBillion + wait.count() % kBillion;
  if (model->expiresNanoseconds >= kBillion) {
    ++model->expiresSeconds;
    model->expiresNanoseconds -= kBillion;
  }
}

}  // namespace

std::uint64_t MemoryNeed(std::int64_t weightBytes) {
  const auto weights = static_cast<std::uint64_t>(std::max<std::int64_t>(0, weightBytes));
  return weights + weights / 8 + (std::uint64_t{256} << 20);
}

bool ParseGoDuration(const std::string& text, Nanoseconds* duration, std::string* error) {
  const std::string invalid = "time: invalid duration " + GoTimeQuote(text);
  std::size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  if (text.substr(at) == "0") {
    *duration = Nanoseconds::zero();
    return true;
  }
  if (at == text.size()) {
    *error = invalid;
    return false;
  }
  std::uint64_t total = 0;
  while (at < text.size()) {
    if (text[at] != '.' && !Digit(text[at])) {
      *error = invalid;
      return false;
    }
    std::uint64_t whole = 0;
    const std::size_t wholeStart = at;
    for (; at < text.size() && Digit(text[at]); ++at) {
      const auto digit = static_cast<std::uint64_t>(text[at] - '0');
      if (whole > (kMaxDuration - digit) / 10) {
        *error = invalid;  // too many digits to be a duration
        return false;
      }
      whole = whole * 10 + digit;
    }
    const bool before = at > wholeStart;
    std::uint64_t fraction = 0;
    double scale = 1;
    bool after = false;
    if (at < text.size() && text[at] == '.') {
      const std::size_t fractionStart = ++at;
      bool overflow = false;
      for (; at < text.size() && Digit(text[at]); ++at) {
        // Digits past what fits are read and ignored, as Go does.
        if (overflow || fraction > (kMaxDuration - 1) / 10) {
          overflow = true;
          continue;
        }
        fraction = fraction * 10 + static_cast<std::uint64_t>(text[at] - '0');
        scale *= 10;
      }
      after = at > fractionStart;
    }
    if (!before && !after) {
      *error = invalid;
      return false;
    }
    const std::size_t unitStart = at;
    while (at < text.size() && text[at] != '.' && !Digit(text[at])) ++at;
    if (at == unitStart) {
      *error = "time: missing unit in duration " + GoTimeQuote(text);
      return false;
    }
    const std::string unitText = text.substr(unitStart, at - unitStart);
    const std::uint64_t unit = UnitNanoseconds(unitText);
    if (unit == 0) {
      *error = "time: unknown unit " + GoTimeQuote(unitText) + " in duration " + GoTimeQuote(text);
      return false;
    }
    if (whole > kMaxDuration / unit) {
      *error = invalid;
      return false;
    }
    whole *= unit;
    if (fraction > 0) {
      whole += static_cast<std::uint64_t>(static_cast<double>(fraction) *
                                          (static_cast<double>(unit) / scale));
      if (whole > kMaxDuration) {
        *error = invalid;
        return false;
      }
    }
    total += whole;
    if (total > kMaxDuration || (!negative && total == kMaxDuration)) {
      *error = invalid;
      return false;
    }
  }
  // -2^63 fits only as a negative duration.
  *duration = negative ? Nanoseconds(total == kMaxDuration ? Nanoseconds::min().count()
                                                           : -static_cast<std::int64_t>(total))
                       : Nanoseconds(static_cast<std::int64_t>(total));
  return true;
}

std::string ReadKeepAlive(const Json::Value& value, std::optional<Nanoseconds>* keepAlive) {
  keepAlive->reset();
  if (value.isNull()) return "";  // a null pointer field in Go: not given
  if (value.isBool()) return "Unsupported type: 'bool'";
  if (value.isNumeric()) {
    const double seconds = value.asDouble();
    if (seconds < 0) {
      *keepAlive = kForever;
    } else {
      // Whole seconds, as Go's int() conversion truncates them.
      const double capped = std::min(std::trunc(seconds), 9.2e9);
      *keepAlive = std::chrono::seconds(static_cast<std::int64_t>(capped));
    }
    return "";
  }
  if (value.isString()) {
    Nanoseconds parsed{};
    std::string error;
    if (!ParseGoDuration(value.asString(), &parsed, &error)) return error;
    *keepAlive = parsed < Nanoseconds::zero() ? kForever : parsed;
    return "";
  }
  // What Go's reflect calls the type encoding/json made of it.
  if (value.isArray()) return "Unsupported type: '[]interface {}'";
  return "Unsupported type: 'map[string]interface {}'";
}

bool PauseUnlessStopping(Nanoseconds time, const std::atomic<bool>& stopping) {
  const auto until = Clock::now() + time;
  while (!stopping) {
    const auto left = until - Clock::now();
    if (left <= Nanoseconds::zero()) return true;
    std::this_thread::sleep_for(std::min<Clock::duration>(left, kStep));
  }
  return false;
}

ModelLease::~ModelLease() { scheduler_.Release(key_); }

Scheduler::Scheduler(const std::atomic<bool>& stopping)
    : stopping_(stopping),
      freeMemory_(FreeMemory()),
      defaultKeepAlive_(DefaultKeepAlive()),
      loadTime_(LoadTime()),
      dieWhileLoading_(EnvValue("TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING") == "1") {}

std::string Scheduler::Acquire(const Layer& weights, const std::string& name,
                               const std::optional<Nanoseconds>& keepAlive,
                               std::shared_ptr<ModelLease>* lease) {
  const std::string& key = weights.digest;
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_) return "context canceled";
    DropExpired();
    const auto found = models_.find(key);
    if (found == models_.end()) break;
    if (found->second.loading) {
      // Another request is loading it: this one waits for that load.
      changed_.wait_for(lock, kStep);
      continue;
    }
    ++found->second.users;
    if (keepAlive) found->second.keepAlive = *keepAlive;
    *lease = std::make_shared<ModelLease>(*this, key);
    return "";
  }

  const std::uint64_t need = MemoryNeed(weights.size);
  if (std::string error = MakeRoom(lock, need); !error.empty()) return error;
  Loaded& model = models_[key];
  model.name = name;
  model.need = need;
  model.users = 1;
  model.keepAlive = keepAlive.value_or(defaultKeepAlive_);
  lock.unlock();
  const std::string error = Load();
  lock.lock();
  if (!error.empty()) {
    models_.erase(key);
    changed_.notify_all();
    return error;
  }
  models_[key].loading = false;
  changed_.notify_all();
  *lease = std::make_shared<ModelLease>(*this, key);
  return "";
}

std::string Scheduler::MakeRoom(std::unique_lock<std::mutex>& lock, std::uint64_t need) {
  if (!freeMemory_) return "";
  while (Occupied() + need > *freeMemory_ && !models_.empty()) {
    if (stopping_) return "context canceled";
    bool unloaded = false;
    for (auto it = models_.begin(); it != models_.end(); ++it) {
      if (it->second.users == 0 && !it->second.loading) {
        models_.erase(it);
        unloaded = true;
        break;
      }
    }
    if (!unloaded) changed_.wait_for(lock, kStep);
    DropExpired();
  }
  // With no other model left the machine's free memory is all there is:
  // llm/server.go's check, worded as there.
  const std::uint64_t occupied = Occupied();
  const std::uint64_t available = *freeMemory_ > occupied ? *freeMemory_ - occupied : 0;
  if (need > available) {
    return "model requires more system memory (" + HumanBytes2(need) + ") than is available (" +
           HumanBytes2(available) + ")";
  }
  return "";
}

std::string Scheduler::Load() const {
  if (!dieWhileLoading_) {
    return PauseUnlessStopping(loadTime_, stopping_) ? "" : "context canceled";
  }
  if (!PauseUnlessStopping(loadTime_ / 2, stopping_)) return "context canceled";
  // The runner exits with Go's status for a panic, saying nothing the
  // server recognises as an error line, so the exit status is the reason.
  return "llama runner process has terminated: exit status 2";
}

void Scheduler::Expire(const std::string& key) {
  const std::lock_guard lock(mutex_);
  const auto found = models_.find(key);
  if (found == models_.end()) return;
  found->second.keepAlive = Nanoseconds::zero();
  if (found->second.users == 0 && !found->second.loading) models_.erase(found);
  changed_.notify_all();
}

void Scheduler::Release(const std::string& key) {
  const std::lock_guard lock(mutex_);
  const auto found = models_.find(key);
  if (found == models_.end()) return;
  Loaded& model = found->second;
  --model.users;
  if (model.users > 0) return;
  model.idleSince = Clock::now();
  if (model.keepAlive <= Nanoseconds::zero()) {
    models_.erase(found);
  } else {
    model.listed.emplace();
    WallClockAfter(model.keepAlive, &*model.listed);
  }
  changed_.notify_all();
}

std::vector<RunningModel> Scheduler::Running() {
  const std::lock_guard lock(mutex_);
  DropExpired();
  std::vector<RunningModel> running;
  for (const auto& [key, model] : models_) {
    RunningModel entry = model.listed.value_or(RunningModel());
    if (!model.listed) WallClockAfter(model.keepAlive, &entry);
    entry.name = model.name;
    entry.size = model.need;
    running.push_back(entry);
  }
  std::stable_sort(running.begin(), running.end(), [](const auto& a, const auto& b) {
    return a.expiresSeconds > b.expiresSeconds;
  });
  return running;
}

void Scheduler::DropExpired() {
  const auto now = Clock::now();
  for (auto it = models_.begin(); it != models_.end();) {
    const Loaded& model = it->second;
    const bool expired = model.users == 0 && !model.loading && model.keepAlive != kForever &&
                         now - model.idleSince >= model.keepAlive;
    it = expired ? models_.erase(it) : std::next(it);
  }
}

std::uint64_t Scheduler::Occupied() const {
  std::uint64_t total = 0;
  for (const auto& entry : models_) total += entry.second.need;
  return total;
}

}  // namespace fake_ollama
