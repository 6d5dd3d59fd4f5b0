#include <install/ollama_runner.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <install/file_helpers.h>
#include <install/install_layout.h>
#include <install/process_helpers.h>
#include <install/shell_helpers.h>
#include <install/text_helpers.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/process_lookup.h>
#include <service/http_client.h>
#include <service/service_state.h>

namespace {

constexpr char kHelpFirstLineMark[] = "Large language model runner";

InstallLayout CurrentLayout() { return MakeInstallLayout(GetServiceState().installFolder); }

std::string OsString(const std::wstring& text) { return platform::WideToOsNarrow(text); }

bool ServerAnswers(const std::string& address) {
  try {
    return HttpGetRequest(address + "/", {}, 1000).status == 200;
  } catch (const std::exception&) {
    return false;
  }
}

// The server this process started, so that a second caller waits for it
// instead of starting another one.
std::mutex g_serverMutex;
std::unique_ptr<platform::ChildProcess> g_server;

}  // namespace

bool IsOllamaInstalled() {
  const InstallLayout layout = CurrentLayout();
  const std::vector<std::string> pieces =
      RunCommandLinesWithin({OsString(layout.ollamaExecutable), "help"}, kRunnerCommandTimeoutMs);
  const bool installed =
      !pieces.empty() && pieces.front().find(kHelpFirstLineMark) != std::string::npos;
  DebugPrint("IsOllamaInstall11 %d\n", installed ? 1 : 0);
  return installed;
}

void SetOllamaModelsDir() {
  const std::wstring store = CurrentLayout().modelStore;
  if (!DirectoryExists(store)) CreateDirectoryTree(store);
  SetEnvironmentValue(L"OLLAMA_MODELS", store);
  // Runner commands started from here on see the store at once.
  ::setenv("OLLAMA_MODELS", OsString(store).c_str(), 1);
}

void InstallOllama() {
  const InstallLayout layout = CurrentLayout();
  if (!DirectoryExists(layout.ollamaFolder)) CreateDirectoryTree(layout.ollamaFolder);
  SetOllamaModelsDir();
  // The folder travels as one argument, whatever it contains.
  RunInstallerHidden(layout.ollamaSetup, {L"/silent", L"/dir=" + layout.ollamaFolder});
}

void SaveInstallPath() {
  try {
    RegKey key(platform::kCurrentUser, GetAppConstants().productKeyPath);
    key.SetStringValue(L"OllamaPath", GetServiceState().installFolder);
  } catch (const winreg::RegException&) {
  }
}

std::wstring LoadInstallPath() {
  try {
    RegKey key(platform::kCurrentUser, GetAppConstants().productKeyPath);
    return key.GetStringValue(L"OllamaPath");
  } catch (const winreg::RegException&) {
    return std::wstring();
  }
}

std::string RunnerServerAddress() {
  std::string host = "127.0.0.1";
  std::string port = "11434";
  const char* value = std::getenv("OLLAMA_HOST");
  std::string text = value != nullptr ? value : "";
  if (const auto scheme = text.find("://"); scheme != std::string::npos) {
    text = text.substr(scheme + 3);
  }
  if (const auto slash = text.find('/'); slash != std::string::npos) text.resize(slash);
  if (const auto colon = text.rfind(':'); colon != std::string::npos) {
    if (colon + 1 < text.size()) port = text.substr(colon + 1);
    text.resize(colon);
  }
  // A server listening on every address is reached on the loopback one.
  if (!text.empty() && text != "0.0.0.0" && text != "[::]") host = text;
  for (const char c : port) {
    if (c < '0' || c > '9') return "http://127.0.0.1:11434";
  }
  for (const char c : host) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == '[' || c == ']' || c == ':';
    if (!ok) return "http://127.0.0.1:11434";
  }
  return "http://" + host + ":" + port;
}

bool EnsureRunnerServer() {
  const std::string address = RunnerServerAddress();
  if (ServerAnswers(address)) return true;
  std::lock_guard<std::mutex> lock(g_serverMutex);
  if (ServerAnswers(address)) return true;  // another caller started it meanwhile
  const InstallLayout layout = CurrentLayout();
  if (!FileExists(layout.ollamaExecutable)) return false;
  platform::StartOptions options;
  options.detached = true;
  options.environment = {"OLLAMA_MODELS=" + OsString(layout.modelStore)};
  // Its log goes beside our other files, not into the user's terminal.
  const std::wstring workFolder = GetServiceState().workFolder;
  if (!workFolder.empty()) options.outputFile = OsString(workFolder + L"runner-server.log");
  // One started earlier and still running is only slow to answer: wait for
  // it rather than start a second one.
  if (g_server == nullptr || g_server->HasExited()) {
    g_server = platform::StartProcess({OsString(layout.ollamaExecutable), "serve"}, options);
  }
  if (g_server == nullptr) return false;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kRunnerServerStartTimeoutMs);
  while (Clock::now() < deadline) {
    if (ServerAnswers(address)) return true;
    platform::SleepMilliseconds(100);
  }
  return false;
}

void StopStartedRunnerServer() {
  std::lock_guard<std::mutex> lock(g_serverMutex);
  if (g_server == nullptr) return;
  if (!g_server->HasExited()) {
    platform::TerminateProcessById(g_server->Id());
    g_server->Wait();
  }
  g_server.reset();
}

std::vector<std::string> RunRunnerList() {
  const InstallLayout layout = CurrentLayout();
  if (!FileExists(layout.ollamaExecutable)) return {};
  EnsureRunnerServer();
  return RunCommandLinesWithin({OsString(layout.ollamaExecutable), "list"},
                               kRunnerCommandTimeoutMs);
}

std::vector<std::string> InstalledModelNames(const std::vector<std::string>& pieces) {
  std::vector<std::string> names;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    const std::vector<std::string> words = SplitWords(pieces[i]);
    if (!words.empty()) names.push_back(words.front());
  }
  return names;
}
