#include <install/ollama_runner.h>

#include <base/file_helpers.h>
#include <base/process_helpers.h>
#include <base/text_helpers.h>
#include <config/product_values.h>
#include <config/reg_key.h>
#include <install/install_layout.h>
#include <install/shell_helpers.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>

namespace {

constexpr char kHelpFirstLineMark[] = "Large language model runner";

std::string OsString(const std::wstring& text) { return platform::WideToOsNarrow(text); }

}  // namespace

bool IsOllamaInstalled() { return IsOllamaInstalled(CurrentInstallLayout()); }

bool IsOllamaInstalled(const InstallLayout& layout) {
  const std::vector<std::string> pieces =
      RunCommandLinesWithin({OsString(layout.ollamaExecutable), "help"}, kRunnerCommandTimeoutMs);
  const bool installed =
      !pieces.empty() && pieces.front().find(kHelpFirstLineMark) != std::string::npos;
  DebugPrint("IsOllamaInstall11 %d\n", installed ? 1 : 0);
  return installed;
}

void SetOllamaModelsDir() { SetOllamaModelsDir(CurrentInstallLayout()); }

void SetOllamaModelsDir(const InstallLayout& layout) {
  const std::wstring store = layout.modelStore;
  if (!DirectoryExists(store)) CreateDirectoryTree(store);
  SetEnvironmentValue(L"OLLAMA_MODELS", store);
}

void InstallOllama() { InstallOllama(CurrentInstallLayout()); }

void InstallOllama(const InstallLayout& layout) {
  if (!DirectoryExists(layout.ollamaFolder)) CreateDirectoryTree(layout.ollamaFolder);
  SetOllamaModelsDir(layout);
  // The folder travels as one argument, whatever it contains. A runner the
  // setup starts keeps its models in our store; our own environment stays
  // untouched, as other threads read it.
  RunInstallerHidden(layout.ollamaSetup, {L"/silent", L"/dir=" + layout.ollamaFolder},
                     {"OLLAMA_MODELS=" + OsString(layout.modelStore)});
}

void SaveInstallPath() { SaveInstallPath(GetServiceState().installFolder); }

bool SaveInstallPath(const std::wstring& folder) {
  return WriteProductValue(L"OllamaPath", folder);
}

std::wstring LoadInstallPath() { return ReadProductValue(L"OllamaPath").value_or(std::wstring()); }
