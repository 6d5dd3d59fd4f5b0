#include <install/runner_server.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <config/product_values.h>
#include <install/install_layout.h>
#include <install/runner_api.h>
#include <platform/listening_port.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/process_lookup.h>
#include <platform/thread_annotations.h>
#include <service/service_state.h>

namespace {

constexpr std::uint16_t kDefaultPort = 11434;
constexpr wchar_t kPortValue[] = L"OllamaPort";
constexpr long kProbeTimeoutMs = 2000;

using Clock = std::chrono::steady_clock;

// One caller at a time starts or probes our server.
CMutex g_serverMutex;
std::unique_ptr<platform::ChildProcess> g_server TW_GUARDED_BY(g_serverMutex);
std::uint16_t g_serverPort TW_GUARDED_BY(g_serverMutex) = 0;

std::string AddressOf(std::uint16_t port) { return "http://127.0.0.1:" + std::to_string(port); }

std::uint16_t StoredPort() {
  const std::optional<std::wstring> text = ReadProductValue(kPortValue);
  if (!text || text->empty() || text->size() > 5) return kDefaultPort;
  unsigned long value = 0;
  for (const wchar_t c : *text) {
    if (c < L'0' || c > L'9') return kDefaultPort;
    value = value * 10 + static_cast<unsigned long>(c - L'0');
  }
  return value > 0 && value <= 65535 ? static_cast<std::uint16_t>(value) : kDefaultPort;
}

void StorePort(std::uint16_t port) { WriteProductValue(kPortValue, std::to_wstring(port)); }

bool IsInside(const std::string& file, const std::filesystem::path& folder) {
  std::error_code ec;
  const std::filesystem::path root = std::filesystem::weakly_canonical(folder, ec);
  if (ec || file.empty()) return false;
  // The OS's own narrow text: a plain path constructor would read it in
  // whatever code page the C library picks.
  const std::filesystem::path path = platform::OsPath(platform::OsNarrowToWide(file));
  auto rootPart = root.begin();
  auto pathPart = path.begin();
  for (; rootPart != root.end(); ++rootPart, ++pathPart) {
    if (rootPart->empty()) continue;  // a trailing separator
    if (pathPart == path.end() || *pathPart != *rootPart) return false;
  }
  return true;
}

// Ours: this user's, and its program file lies in our runner folder.
bool IsOurServer(const platform::PortOwner& owner, const InstallLayout& layout) {
  return owner.sameUser && owner.processId &&
         IsInside(owner.executable, platform::OsPath(layout.ollamaFolder));
}

bool StartServer(const InstallLayout& layout, std::uint16_t port) TW_REQUIRES(g_serverMutex) {
  platform::StartOptions options;
  options.detached = true;
  // A console program: without this, Windows gives the server a window of
  // its own that stays open as long as it serves.
  options.hidden = true;
  // Whatever the user's own environment says, ours listens where we chose
  // and keeps its models in the install folder.
  options.environment = {"OLLAMA_HOST=127.0.0.1:" + std::to_string(port),
                         "OLLAMA_MODELS=" + platform::WideToOsNarrow(layout.modelStore)};
  const std::wstring workFolder = GetServiceState().workFolder;
  if (!workFolder.empty()) {
    options.outputFile = platform::WideToOsNarrow(workFolder + L"runner-server.log");
  }
  g_server =
      platform::StartProcess({platform::WideToOsNarrow(layout.ollamaExecutable), "serve"}, options);
  g_serverPort = port;
  return g_server != nullptr;
}

// A runner answers on the port, and it is ours: another program may have
// taken the port between our look and our server's bind, and it would
// answer just the same.
bool OursAnswers(std::uint16_t port, const InstallLayout& layout) {
  return RunnerAnswers(AddressOf(port), kProbeTimeoutMs) &&
         IsOurServer(platform::FindPortOwner(port), layout);
}

constexpr int kAnswerPollMs = 50;

enum class Wait { Answered, Exited, TimedOut, Taken };

// The server we started, stopped and reaped (it may still be starting).
void EndStartedServer() TW_REQUIRES(g_serverMutex) {
  if (g_server == nullptr) return;
  if (!g_server->HasExited()) platform::TerminateProcessById(g_server->Id());
  g_server->Wait();
  g_server.reset();
}

Wait WaitForAnswer(std::uint16_t port, const InstallLayout& layout, Clock::time_point deadline,
                   bool watchChild) TW_REQUIRES(g_serverMutex) {
  const std::string address = AddressOf(port);
  for (;;) {
    if (RunnerAnswers(address, kProbeTimeoutMs)) {
      return IsOurServer(platform::FindPortOwner(port), layout) ? Wait::Answered : Wait::Taken;
    }
    if (watchChild && (g_server == nullptr || g_server->HasExited())) return Wait::Exited;
    if (Clock::now() >= deadline) return Wait::TimedOut;
    // A refused connection on loopback costs next to nothing; a starting
    // runner usually answers within a few hundred milliseconds.
    platform::SleepMilliseconds(kAnswerPollMs);
  }
}

}  // namespace

std::string RunnerServerHostPort() { return "127.0.0.1:" + std::to_string(StoredPort()); }

std::string RunnerServerAddress() { return AddressOf(StoredPort()); }

RunnerServerState EnsureRunnerServer(const InstallLayout& layout,
                                     const std::function<void()>& onWaiting, int timeoutMs) {
  CMutexLock lock(g_serverMutex);
  if (!FileExists(layout.ollamaExecutable)) return RunnerServerState::NoRunner;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  bool told = false;
  auto tell = [&] {
    if (!told && onWaiting) onWaiting();
    told = true;
  };
  std::uint16_t port = StoredPort();
  // A few rounds: another program may take a port between our look and our
  // server's bind.
  for (int round = 0; round < 4; ++round) {
    const platform::PortOwner owner = platform::FindPortOwner(port);
    const bool ourChildStarting =
        g_server != nullptr && g_serverPort == port && !g_server->HasExited();
    if (owner.listening && !IsOurServer(owner, layout) && !ourChildStarting) {
      port = platform::PickFreeLoopbackPort();
      if (port == 0) return RunnerServerState::NotAnswering;
      continue;
    }
    if (owner.listening || ourChildStarting) {
      // Ours already: it may still be busy starting.
      if (OursAnswers(port, layout)) {
        StorePort(port);
        return RunnerServerState::Ready;
      }
      tell();
      const Wait waited = WaitForAnswer(port, layout, deadline, ourChildStarting);
      if (waited == Wait::Answered) StorePort(port);
      if (waited == Wait::Answered || waited == Wait::TimedOut) {
        return waited == Wait::Answered ? RunnerServerState::Ready
                                        : RunnerServerState::NotAnswering;
      }
      if (waited == Wait::Taken && g_serverPort == port) EndStartedServer();
      continue;
    }
    tell();
    if (!StartServer(layout, port)) return RunnerServerState::NotAnswering;
    StorePort(port);
    const Wait waited = WaitForAnswer(port, layout, deadline, true);
    if (waited == Wait::Answered) return RunnerServerState::Ready;
    if (waited == Wait::TimedOut) return RunnerServerState::NotAnswering;
    // It ended at once, or another program answers there: the port was
    // taken meanwhile. Ours goes; the next round tries another port (a port
    // that is bound but not listening looks free to the look above).
    EndStartedServer();
    port = platform::PickFreeLoopbackPort();
    if (port == 0) return RunnerServerState::NotAnswering;
  }
  return RunnerServerState::NotAnswering;
}

bool RunnerServerIsOurs(const InstallLayout& layout) {
  return IsOurServer(platform::FindPortOwner(StoredPort()), layout);
}

std::optional<std::vector<RunnerModel>> ListOurRunnerModels(const InstallLayout& layout,
                                                            long timeoutMs) {
  if (!RunnerServerIsOurs(layout)) return std::nullopt;
  return ListRunnerModels(RunnerServerAddress(), timeoutMs);
}

void StopStartedRunnerServer() {
  CMutexLock lock(g_serverMutex);
  EndStartedServer();
}
