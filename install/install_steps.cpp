#include <install/install_steps.h>

#include <filesystem>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <config/app_constants.h>
#include <config/product_values.h>
#include <config/reg_key.h>
#include <install/chatbox_client.h>
#include <install/chatbox_process.h>
#include <install/install_record.h>
#include <install/ollama_runner.h>
#include <install/owned_files.h>
#include <install/package_step.h>
#include <install/program_stop.h>
#include <install/runner_api.h>
#include <install/runner_login.h>
#include <install/runner_server.h>
#include <package/package_unpack.h>
#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>
#include <platform/tree_removal.h>
#include <platform/user_environment.h>

namespace {

// A translated format with one piece in its place.
std::wstring Fill(const std::wstring& format, const std::wstring& piece) {
  return FormatWString(format.c_str(), piece.c_str());
}

namespace fs = std::filesystem;

constexpr wchar_t kStoreVariable[] = L"OLLAMA_MODELS";
// A runner asked to end saves nothing; one that does not end goes at once.
constexpr int kRunnerStopTimeoutMs = 5000;
constexpr long kRunnerAskTimeoutMs = 5000;

StepOutcome Outcome(bool ok, std::wstring text) {
  StepOutcome outcome;
  outcome.ok = ok;
  outcome.text = std::move(text);
  return outcome;
}
StepOutcome Done(std::wstring text) { return Outcome(true, std::move(text)); }
StepOutcome Failed(std::wstring text) { return Outcome(false, std::move(text)); }

bool Exists(const std::wstring& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(platform::OsPath(path), ec));
}

// What the record says we made at and below path goes; anything else
// stays and is named.
StepOutcome RemoveRecordedFolder(const std::wstring& path) {
  const Removal removal = RemoveRecorded(path);
  StepOutcome outcome = Done(removal.left.empty() ? TW_TR("InstallSteps", "已删除")
                             : removal.removedAnything
                                 ? TW_TR("InstallSteps", "已删除本程序创建的内容，其余保留")
                                 : TW_TR("InstallSteps", "不是本程序创建的，保留"));
  outcome.ok = removal.ok;
  if (!removal.ok) outcome.text = Fill(TW_TR("InstallSteps", "未能全部删除：%ls"), path);
  outcome.leftBehind = removal.left;
  return outcome;
}

// A folder of our product's own name in our per-user data or settings
// place, with everything in it; it is ours as a whole.
StepOutcome RemoveOurFolder(const std::wstring& path, std::wstring removed) {
  if (platform::RemoveTree(platform::OsPath(path))) return Done(std::move(removed));
  StepOutcome outcome = Failed(Fill(TW_TR("InstallSteps", "未能全部删除：%ls"), path));
  outcome.leftBehind.push_back(path);
  return outcome;
}

// Our runner server and every program running from the runner folder.
bool StopRunner(const InstallLayout& layout) {
  StopStartedRunnerServer();
  return EndProgramsIn(platform::OsPath(layout.ollamaFolder), kRunnerStopTimeoutMs);
}

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

class StoreStep : public InstallStep {
 public:
  const char* Name() const override { return "store"; }
  bool BelowInstallFolder() const override { return true; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "模型存放目录"); }
  StepOutcome Check(const StepContext& context) const override {
    const std::wstring& store = context.installation.layout.modelStore;
    const auto identity = platform::IdentityAt(store);
    // The runner would follow a link wherever it points: said, never mended.
    if (identity && identity->kind == platform::ObjectKind::Link)
      return Failed(TW_TR("InstallSteps", "已被换成指向别处的链接，未作改动"));
    if (!DirectoryExists(store)) return Failed(TW_TR("InstallSteps", "不存在"));
    if (!LoadInstallRecord().MayUse(store))
      return Failed(TW_TR("InstallSteps", "不是本程序创建的，未作改动"));
    // The runner keeps what it pulls there: someone else's folder is not.
    if (!platform::IsFolderOurOwn(store))
      return Failed(TW_TR("InstallSteps", "不属于当前用户或可被他人修改"));
    return Done(TW_TR("InstallSteps", "正常"));
  }
  StepOutcome Perform(const StepContext& context) override {
    const std::wstring& store = context.installation.layout.modelStore;
    switch (ClaimFolder(store, Name(), IsRunnerStoreLayout)) {
      case FolderClaim::Failed:
        return Failed(TW_TR("InstallSteps", "无法创建"));
      case FolderClaim::NotOurs:
        return Failed(Fill(TW_TR("InstallSteps", "%ls 不是本程序创建的，未作改动"), store));
      case FolderClaim::Ours:
      case FolderClaim::Adopted:
        break;
    }
    return Check(context);
  }
  StepOutcome Undo(const StepContext& context) override {
    const std::wstring& store = context.installation.layout.modelStore;
    if (context.keepModels) {
      StepOutcome kept = Done(TW_TR("InstallSteps", "已保留"));
      if (Exists(store)) kept.leftBehind.push_back(store);
      return kept;
    }
    return RemoveRecordedFolder(store);
  }
};

class EnvironmentStep : public InstallStep {
 public:
  const char* Name() const override { return "environment"; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "环境变量 OLLAMA_MODELS"); }
  StepOutcome Check(const StepContext& context) const override {
    if (platform::UsersOwnEnvironmentValue(kStoreVariable))
      return Done(TW_TR("InstallSteps", "使用您自己的设置"));
    const auto value = platform::ReadUserEnvironmentValue(kStoreVariable);
    if (value == context.installation.layout.modelStore) return Done(TW_TR("InstallSteps", "正常"));
    return Failed(value ? TW_TR("InstallSteps", "指向别处") : TW_TR("InstallSteps", "未设置"));
  }
  StepOutcome Perform(const StepContext& context) override {
    switch (PointStoreVariable(context.installation.layout)) {
      case StoreVariable::Set:
        return Done(TW_TR("InstallSteps", "已设置"));
      case StoreVariable::UsersOwn:
        return Done(TW_TR("InstallSteps", "使用您自己的设置"));
      case StoreVariable::Failed:
        break;
    }
    return Failed(TW_TR("InstallSteps", "无法设置"));
  }
  // Ours always goes (our server is given the store itself); a value the
  // user set elsewhere stays.
  StepOutcome Undo(const StepContext&) override {
    if (!RemoveStoreVariable()) return Failed(TW_TR("InstallSteps", "无法删除"));
    return Done(TW_TR("InstallSteps", "已删除"));
  }
};

class RunnerStep : public InstallStep {
 public:
  const char* Name() const override { return "runner"; }
  bool BelowInstallFolder() const override { return true; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "运行程序 Ollama"); }
  StepOutcome Check(const StepContext& context) const override {
    if (IsOllamaInstalled(context.installation.layout)) return Done(TW_TR("InstallSteps", "正常"));
    return Failed(FileExists(context.installation.layout.ollamaExecutable)
                      ? TW_TR("InstallSteps", "无法运行")
                      : TW_TR("InstallSteps", "不存在"));
  }
  StepOutcome Perform(const StepContext& context) override {
    if (IsOllamaInstalled(context.installation.layout)) return Done(TW_TR("InstallSteps", "正常"));
    if (!FileExists(context.installation.layout.ollamaSetup))
      return Failed(TW_TR("InstallSteps", "缺少安装程序"));
    InstallOllama(context.installation.layout);
    if (IsOllamaInstalled(context.installation.layout))
      return Done(TW_TR("InstallSteps", "已重新安装"));
    return Failed(TW_TR("InstallSteps", "安装后仍无法运行"));
  }
  StepOutcome Undo(const StepContext& context) override {
    const InstallLayout& layout = context.installation.layout;
    if (!StopRunner(layout)) return Failed(TW_TR("InstallSteps", "无法结束正在运行的 Ollama"));
    RemoveSetupLeftovers(layout.ollamaFolder);
    return RemoveRecordedFolder(layout.ollamaFolder);
  }
};

class ServerStep : public InstallStep {
 public:
  const char* Name() const override { return "server"; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "模型服务"); }
  StepOutcome Check(const StepContext& context) const override {
    if (RunnerServerIsOurs(context.installation.layout) &&
        RunnerAnswers(RunnerServerAddress(), kRunnerAskTimeoutMs)) {
      return Done(Fill(TW_TR("InstallSteps", "正在运行：%ls"),
                       platform::OsNarrowToWide(RunnerServerAddress())));
    }
    return Failed(TW_TR("InstallSteps", "未运行"));
  }
  StepOutcome Perform(const StepContext& context) override {
    switch (EnsureRunnerServer(context.installation.layout, {}, kRunnerServerAnswerTimeoutMs)) {
      case RunnerServerState::Ready:
        return Done(Fill(TW_TR("InstallSteps", "已启动：%ls"),
                         platform::OsNarrowToWide(RunnerServerAddress())));
      case RunnerServerState::NoRunner:
        return Failed(TW_TR("InstallSteps", "缺少 Ollama，无法启动"));
      case RunnerServerState::NotAnswering:
        break;
    }
    return Failed(TW_TR("InstallSteps", "已启动但没有响应"));
  }
  StepOutcome Undo(const StepContext& context) override {
    if (StopRunner(context.installation.layout)) return Done(TW_TR("InstallSteps", "已停止"));
    return Failed(TW_TR("InstallSteps", "无法结束正在运行的 Ollama"));
  }
};

class ClientStep : public InstallStep {
 public:
  const char* Name() const override { return "client"; }
  bool BelowInstallFolder() const override { return true; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "聊天客户端 Chatbox"); }
  StepOutcome Check(const StepContext& context) const override {
    if (FileExists(ChatboxProgramPath(context.installation.layout)))
      return Done(TW_TR("InstallSteps", "正常"));
    return Failed(TW_TR("InstallSteps", "不存在"));
  }
  StepOutcome Perform(const StepContext& context) override {
    const InstallLayout& layout = context.installation.layout;
    if (FileExists(ChatboxProgramPath(layout))) return Done(TW_TR("InstallSteps", "正常"));
    if (!FileExists(layout.chatboxSetup)) return Failed(TW_TR("InstallSteps", "缺少安装程序"));
    InstallChatbox(layout);
    if (!FileExists(layout.chatboxProgram) && IsAppImage(layout.chatboxExecutable)) {
      UnpackChatbox(layout);
      RecordTree(layout.chatboxFolder, Name());
    }
    if (FileExists(ChatboxProgramPath(layout))) return Done(TW_TR("InstallSteps", "已重新安装"));
    return Failed(TW_TR("InstallSteps", "安装失败"));
  }
  // The program and what was unpacked of it; the client's own settings are
  // the next step's.
  StepOutcome Undo(const StepContext& context) override {
    const InstallLayout& layout = context.installation.layout;
    if (!StopChatboxIn(layout.chatboxFolder))
      return Failed(TW_TR("InstallSteps", "无法结束正在运行的 Chatbox"));
    RemoveSetupLeftovers(layout.chatboxFolder);
    return RemoveRecordedFolder(layout.chatboxFolder);
  }
};

class ClientSettingsStep : public InstallStep {
 public:
  const char* Name() const override { return "client-settings"; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "Chatbox 的模型设置"); }
  StepOutcome Check(const StepContext& context) const override {
    return CheckAgainst(ListOurRunnerModels(context.installation.layout, kRunnerAskTimeoutMs));
  }
  // The installation's model (else the first installed one) becomes the
  // client's, on our server; a model the user chose there themselves stays
  // chosen, ours is only offered beside it.
  StepOutcome Perform(const StepContext& context) override {
    const auto models = ListOurRunnerModels(context.installation.layout, kRunnerAskTimeoutMs);
    if (context.model.empty()) {
      const StepOutcome now = CheckAgainst(models);
      if (now.ok || !models || models->empty()) return now;
    } else if (ChatboxConfigHasModel(context.model)) {
      return Done(Fill(TW_TR("InstallSteps", "使用 %ls"), Utf8ToWide(context.model)));
    }
    const std::string model = context.model.empty() ? models->front().name : context.model;
    const bool usersOwn = context.model.empty() && ChatboxConfigChoseOtherModel(Names(*models));
    const ChatboxConfigResult result =
        usersOwn ? ListModelInChatboxConfig(context.installation.layout, model,
                                            RunnerServerAddress(), context.restartClient)
                 : WriteChatboxConfig(context.installation.layout, model,
                                      RunnerServerAddress(), context.restartClient);
    switch (result) {
      case ChatboxConfigResult::kWritten:
        return Done(Fill(usersOwn ? TW_TR("InstallSteps", "已加入 %ls，保留您选择的模型")
                                  : TW_TR("InstallSteps", "已改为使用 %ls"),
                         Utf8ToWide(model)));
      case ChatboxConfigResult::kUnusable: {
        StepOutcome unusable = Failed(TW_TR("InstallSteps", "设置文件无法读取，已保持原样"));
        unusable.unusable = true;
        return unusable;
      }
      case ChatboxConfigResult::kClientRunning:
        return Failed(TW_TR("InstallSteps", "Chatbox 正在运行，关闭后再修复即可"));
      case ChatboxConfigResult::kWriteFailed:
        break;
    }
    return Failed(TW_TR("InstallSteps", "无法写入设置文件"));
  }
  // The client's settings hold the user's chats: they go only when asked.
  StepOutcome Undo(const StepContext& context) override {
    // The client goes with the uninstall; ended first, it cannot write its
    // settings back over what is put back.
    if (!StopChatboxIn(context.installation.layout.chatboxFolder)) {
      return Failed(TW_TR("InstallSteps", "无法结束正在运行的 Chatbox"));
    }
    if (!context.removeChatSettings) {
      if (!RestoreUsersChatboxChoice())
        return Failed(TW_TR("InstallSteps", "设置文件无法读取，已保持原样"));
      StepOutcome kept = Done(TW_TR("InstallSteps", "已保留，模型选择已恢复为安装前的设置"));
      if (Exists(ChatboxSettingsFolder())) kept.leftBehind.push_back(ChatboxSettingsFolder());
      return kept;
    }
    UpdateInstallRecord([](InstallRecord& r) { r.DropValue("client-settings", "first"); });
    return RemoveOurFolder(ChatboxSettingsFolder(), TW_TR("InstallSteps", "已删除"));
  }

 private:
  static std::vector<std::string> Names(const std::vector<RunnerModel>& models) {
    std::vector<std::string> names;
    for (const RunnerModel& model : models) names.push_back(model.name);
    return names;
  }
  // Whether the client's settings name one of the models our server lists,
  // or offer one beside a model the user chose there themselves.
  static StepOutcome CheckAgainst(const std::optional<std::vector<RunnerModel>>& models) {
    if (!models) return Failed(TW_TR("InstallSteps", "模型服务未运行，无法检查"));
    for (const RunnerModel& model : *models) {
      if (ChatboxConfigHasModel(model.name)) {
        return Done(Fill(TW_TR("InstallSteps", "使用 %ls"), Utf8ToWide(model.name)));
      }
    }
    if (ChatboxConfigChoseOtherModel(Names(*models))) {
      for (const RunnerModel& model : *models) {
        if (ChatboxConfigListsModel(model.name)) {
          return Done(Fill(TW_TR("InstallSteps", "可选用 %ls（您选择了其他模型）"),
                           Utf8ToWide(model.name)));
        }
      }
    }
    return Failed(models->empty() ? TW_TR("InstallSteps", "还没有下载模型")
                                  : TW_TR("InstallSteps", "未指向已下载的模型"));
  }
};

class LoginStep : public InstallStep {
 public:
  const char* Name() const override { return "login"; }
  std::wstring Title() const override { return TW_TR("InstallSteps", "开机自动启动模型服务"); }
  StepOutcome Check(const StepContext& context) const override {
    if (RunnerServerRegisteredAtLogin(context.installation.layout))
      return Done(TW_TR("InstallSteps", "已登记"));
    return Failed(TW_TR("InstallSteps", "未登记"));
  }
  StepOutcome Perform(const StepContext& context) override {
    if (RegisterRunnerServerAtLogin(context.installation.layout))
      return Done(TW_TR("InstallSteps", "已登记"));
    return Failed(TW_TR("InstallSteps", "无法登记"));
  }
  StepOutcome Undo(const StepContext&) override {
    if (!UnregisterRunnerServerAtLogin()) return Done(TW_TR("InstallSteps", "未登记"));
    return Done(TW_TR("InstallSteps", "已取消"));
  }
};

}  // namespace

std::vector<std::unique_ptr<InstallStep>> MakeInstallSteps() {
  std::vector<std::unique_ptr<InstallStep>> steps;
  steps.push_back(std::make_unique<SettingsStep>());
  steps.push_back(std::make_unique<PackageStep>());
  steps.push_back(std::make_unique<StoreStep>());
  steps.push_back(std::make_unique<EnvironmentStep>());
  steps.push_back(std::make_unique<RunnerStep>());
  steps.push_back(std::make_unique<ServerStep>());
  steps.push_back(std::make_unique<ClientStep>());
  steps.push_back(std::make_unique<ClientSettingsStep>());
  steps.push_back(std::make_unique<LoginStep>());
  return steps;
}

StepOutcome PerformInstallStep(std::string_view name, const StepContext& context) {
  for (const auto& step : MakeInstallSteps()) {
    if (name == step->Name()) return step->Perform(context);
  }
  return Failed(TW_TR("InstallSteps", "未知的步骤"));
}
