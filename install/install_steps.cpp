#include <install/install_steps.h>

#include <filesystem>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <config/app_constants.h>
#include <config/product_values.h>
#include <install/client_steps.h>
#include <install/install_record.h>
#include <install/ollama_runner.h>
#include <install/owned_files.h>
#include <install/package_outcome.h>
#include <install/package_step.h>
#include <install/runner_steps.h>
#include <install/step_support.h>
#include <package/package_unpack.h>
#include <platform/os_encoding.h>
#include <platform/tree_removal.h>

namespace {

namespace fs = std::filesystem;

using install_step::Done;
using install_step::Failed;
using install_step::Fill;
using install_step::RemoveOurFolder;
using install_step::RemoveRecordedFolder;

class SettingsStep : public InstallStep {
 public:
  const char* Name() const override { return "settings"; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "本程序的设置"); }
  StepOutcome Check(const StepContext& context) const override {
    if (LoadInstallPath() == context.installation.layout.installFolder)
      return Done(TW_TR("InstallSteps", "正常"));
    return Failed(TW_TR("InstallSteps", "未记录安装位置"));
  }
  StepOutcome Perform(const StepContext& context) override {
    const std::wstring& folder = context.installation.layout.installFolder;
    if (ClaimFolder(folder, Name()) == FolderClaim::Failed)
      return Failed(TW_TR("InstallSteps", "无法创建安装位置"));
    if (SaveInstallPath(folder))
      return Done(TW_TR("InstallSteps", "已记录安装位置"));
    return Failed(TW_TR("InstallSteps", "无法写入设置"));
  }
  // Last of all: our work folder (logs, the tutorial, the kept package's
  // partial downloads), the install folder once nothing of ours is left in
  // it, then the settings folder, whose uninstall marker goes with it.
  StepOutcome Undo(const StepContext& context) override {
    StepOutcome outcome = RemoveOurFolder(WorkFolder(), TW_TR("InstallSteps", "已删除"));
    // The install folder only when we made it: the home folder or any
    // other the user picked stays, whatever it holds.
    const InstallRecord record = LoadInstallRecord();
    std::vector<std::wstring> folders = record.installFolders;
    folders.push_back(context.installation.layout.installFolder);
    for (const std::wstring& install : folders) {
      if (!record.IsOurs(install)) continue;
      const fs::path path = platform::OsPath(install);
      std::error_code ec;
      if (platform::RemoveEmptyFolder(path)) {
        // Parents the click made for it go too, once empty.
        for (fs::path parent = path.parent_path();
             parent.has_relative_path() && record.IsOurs(platform::WidePath(parent)) &&
             platform::RemoveEmptyFolder(parent);
             parent = parent.parent_path()) {
        }
        continue;
      }
      for (const auto& entry : fs::directory_iterator(path, ec)) {
        outcome.leftBehind.push_back(platform::WidePath(entry.path()));
      }
    }
    const StepOutcome settings = RemoveOurFolder(SettingsFolder(), TW_TR("InstallSteps", "已删除"));
    // Where the settings are the registry's, not the folder's files.
    const bool keyGone = RemoveProductKey();
    outcome.ok = outcome.ok && settings.ok && keyGone;
    outcome.leftBehind.insert(outcome.leftBehind.end(), settings.leftBehind.begin(),
                              settings.leftBehind.end());
    // Named like the files left, so the person sees what stayed.
    if (!keyGone) {
      outcome.leftBehind.push_back(L"HKEY_CURRENT_USER\\" + GetAppConstants().productKeyPath);
    }
    return outcome;
  }
};

class PackageStep : public InstallStep {
 public:
  const char* Name() const override { return "package"; }
  bool BelowInstallFolder() const override { return true; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "安装包"); }
  StepOutcome Check(const StepContext& context) const override {
    const InstallLayout& layout = context.installation.layout;
    if (FileExists(layout.ollamaSetup) && FileExists(layout.chatboxSetup))
      return Done(TW_TR("InstallSteps", "已解压"));
    if (FileExists(PackageArchivePath())) return Done(TW_TR("InstallSteps", "已保留"));
    return Failed(TW_TR("InstallSteps", "不在（需要时重新下载）"));
  }
  StepOutcome Perform(const StepContext& context) override {
    const InstallLayout& layout = context.installation.layout;
    if (FileExists(layout.ollamaSetup) && FileExists(layout.chatboxSetup))
      return Done(TW_TR("InstallSteps", "已解压"));
    const PackageOutcome outcome = FetchAndUnpackPackage(context.installation, context.cancel);
    if (outcome.fault == PackageFault::None) return Done(TW_TR("InstallSteps", "已下载并解压"));
    return Failed(PackageFaultText(outcome));
  }
  StepOutcome Undo(const StepContext& context) override {
    std::error_code ec;
    fs::remove(platform::OsPath(PackageArchivePath()), ec);
    if (ec) return Failed(Fill(TW_TR("InstallSteps", "未能删除：%ls"), PackageArchivePath()));
    // An unpack broken off leaves its private staging folder beside ours.
    const fs::path install = platform::OsPath(context.installation.layout.installFolder);
    for (const auto& entry : fs::directory_iterator(install, ec)) {
      if (entry.path().filename().string().rfind(kUnpackStagingPrefix, 0) == 0) {
        platform::RemoveTree(entry.path());
      }
    }
    return RemoveRecordedFolder(context.installation.layout.unpackFolder);
  }
};

}  // namespace

std::vector<std::unique_ptr<InstallStep>> MakeInstallSteps() {
  std::vector<std::unique_ptr<InstallStep>> steps;
  steps.push_back(std::make_unique<SettingsStep>());
  steps.push_back(std::make_unique<PackageStep>());
  steps.push_back(install_step::MakeStoreStep());
  steps.push_back(install_step::MakeEnvironmentStep());
  steps.push_back(install_step::MakeRunnerStep());
  steps.push_back(install_step::MakeServerStep());
  steps.push_back(install_step::MakeClientStep());
  steps.push_back(install_step::MakeClientSettingsStep());
  steps.push_back(install_step::MakeLoginStep());
  return steps;
}

std::unique_ptr<InstallStep> MakeInstallStep(std::string_view name) {
  for (auto& step : MakeInstallSteps()) {
    if (name == step->Name()) return std::move(step);
  }
  return nullptr;
}

StepOutcome PerformInstallStep(std::string_view name, const StepContext& context) {
  const std::unique_ptr<InstallStep> step = MakeInstallStep(name);
  return step != nullptr ? step->Perform(context) : Failed(TW_TR("InstallSteps", "未知的步骤"));
}

std::wstring ReportLine(const std::wstring& what, const std::wstring& text) {
  return FormatWString(TW_TR("InstallSteps", "%ls：%ls").c_str(), what.c_str(), text.c_str());
}
