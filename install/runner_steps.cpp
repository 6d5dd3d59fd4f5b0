// The runner side's install steps: store, environment entry, runner, server, login.
#include <install/runner_steps.h>

#include <base/file_helpers.h>
#include <base/translate.h>
#include <install/install_record.h>
#include <install/ollama_runner.h>
#include <install/owned_files.h>
#include <install/program_stop.h>
#include <install/runner_api.h>
#include <install/runner_login.h>
#include <install/runner_server.h>
#include <install/step_support.h>
#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>
#include <platform/user_environment.h>

namespace install_step {

namespace {

constexpr wchar_t kStoreVariable[] = L"OLLAMA_MODELS";
// A runner asked to end saves nothing; one that does not end goes at once.
constexpr int kRunnerStopTimeoutMs = 5000;

// Our runner server and every program running from the runner folder.
bool StopRunner(const InstallLayout& layout) {
  StopStartedRunnerServer();
  return EndProgramsIn(platform::OsPath(layout.ollamaFolder), kRunnerStopTimeoutMs);
}

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

std::unique_ptr<InstallStep> MakeStoreStep() { return std::make_unique<StoreStep>(); }
std::unique_ptr<InstallStep> MakeEnvironmentStep() { return std::make_unique<EnvironmentStep>(); }
std::unique_ptr<InstallStep> MakeRunnerStep() { return std::make_unique<RunnerStep>(); }
std::unique_ptr<InstallStep> MakeServerStep() { return std::make_unique<ServerStep>(); }
std::unique_ptr<InstallStep> MakeLoginStep() { return std::make_unique<LoginStep>(); }

}  // namespace install_step
