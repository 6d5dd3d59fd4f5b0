#include <install/ollama_runner.h>

#include <base/file_helpers.h>
#include <base/process_helpers.h>
#include <base/text_helpers.h>
#include <config/product_values.h>
#include <config/reg_key.h>
#include <install/install_layout.h>
#include <install/install_record.h>
#include <install/owned_files.h>
#include <install/shell_helpers.h>
#include <platform/os_encoding.h>
#include <platform/process_variable.h>
#include <platform/user_environment.h>

namespace {

constexpr char kHelpFirstLineMark[] = "Large language model runner";
// The variable's name, as the environment calls take it and as the record
// keeps it.
constexpr wchar_t kStoreVariable[] = L"OLLAMA_MODELS";
constexpr char kStoreRecordName[] = "OLLAMA_MODELS";

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
  const FolderClaim claim = ClaimFolder(store, "store", IsRunnerStoreLayout);
  if (claim == FolderClaim::NotOurs || claim == FolderClaim::Failed) return;
  PointStoreVariable(layout);
}

StoreVariable PointStoreVariable(const InstallLayout& layout) {
  const std::wstring& store = layout.modelStore;
  const InstallRecord saved = LoadInstallRecord();
  const RecordedValue* ours = saved.FindValue("environment", kStoreRecordName);
  // The session's own value, as UTF-8 on every system.
  const std::wstring session = Utf8ToWide(platform::ProcessVariable(kStoreRecordName));
  const bool sessionIsOurs = session.empty() || session == store || (ours && session == ours->value);
  if (!sessionIsOurs || platform::UsersOwnEnvironmentValue(kStoreVariable)) {
    return StoreVariable::UsersOwn;
  }
  if (!SetEnvironmentValue(kStoreVariable, store)) return StoreVariable::Failed;
  UpdateInstallRecord(
      [&](InstallRecord& record) { record.SetValue("environment", kStoreRecordName, store); });
  return StoreVariable::Set;
}

bool RemoveStoreVariable() {
  const InstallRecord record = LoadInstallRecord();
  const RecordedValue* recorded = record.FindValue("environment", kStoreRecordName);
  const auto value = platform::ReadUserEnvironmentValue(kStoreVariable);
  if (!value) return true;
  // Where the store is shared with the user, only the value we set is ours.
  if (!platform::UserEnvironmentStoreIsOurOwn() && (!recorded || *value != recorded->value)) {
    return true;
  }
  if (!platform::RemoveUserEnvironmentValue(kStoreVariable)) return false;
  platform::BroadcastEnvironmentRemoval(kStoreVariable);
  UpdateInstallRecord([](InstallRecord& r) { r.DropValue("environment", kStoreRecordName); });
  return true;
}

void InstallOllama() { InstallOllama(CurrentInstallLayout()); }

void InstallOllama(const InstallLayout& layout) {
  // The setup replaces the folder it installs into: never one of the user's.
  if (ClaimFolder(layout.ollamaFolder, "runner") != FolderClaim::Ours) return;
  SetOllamaModelsDir(layout);
  RemoveSetupLeftovers(layout.ollamaFolder);
  UpdateInstallRecord([&](InstallRecord& record) {
    record.SetValue("setup", WideToUtf8(layout.ollamaFolder), L"runner");
  });
  // The folder travels as one argument, whatever it contains. A runner the
  // setup starts keeps its models in our store; our own environment stays
  // untouched, as other threads read it.
  RunInstallerHidden(layout.ollamaSetup, {L"/silent", L"/dir=" + layout.ollamaFolder},
                     {"OLLAMA_MODELS=" + OsString(layout.modelStore)});
  RecordTree(layout.ollamaFolder, "runner");
}

bool SaveInstallPath(const std::wstring& folder) {
  if (!WriteProductValue(L"OllamaPath", folder)) return false;
  // Every folder ever installed into, so uninstall finds each.
  return UpdateInstallRecord([&](InstallRecord& record) {
    record.AddInstallFolder(folder);
    record.SetValue("key", "OllamaPath", folder);
  });
}

std::wstring LoadInstallPath() { return ReadProductValue(L"OllamaPath").value_or(std::wstring()); }
