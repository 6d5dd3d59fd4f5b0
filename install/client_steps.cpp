// The chat client's install steps: its files and its settings change.
#include <install/client_steps.h>

#include <optional>
#include <string>
#include <vector>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/chatbox_client.h>
#include <install/chatbox_process.h>
#include <install/install_record.h>
#include <install/owned_files.h>
#include <install/runner_api.h>
#include <install/runner_server.h>
#include <install/step_support.h>

namespace install_step {

namespace {

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
    const bool usersOwn =
        context.model.empty() && ChatboxConfigChoseOtherModel(RunnerModelNames(*models));
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
  // Whether the client's settings name one of the models our server lists,
  // or offer one beside a model the user chose there themselves.
  static StepOutcome CheckAgainst(const std::optional<std::vector<RunnerModel>>& models) {
    if (!models) return Failed(TW_TR("InstallSteps", "模型服务未运行，无法检查"));
    for (const RunnerModel& model : *models) {
      if (ChatboxConfigHasModel(model.name)) {
        return Done(Fill(TW_TR("InstallSteps", "使用 %ls"), Utf8ToWide(model.name)));
      }
    }
    if (ChatboxConfigChoseOtherModel(RunnerModelNames(*models))) {
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

}  // namespace

std::unique_ptr<InstallStep> MakeClientStep() { return std::make_unique<ClientStep>(); }
std::unique_ptr<InstallStep> MakeClientSettingsStep() {
  return std::make_unique<ClientSettingsStep>();
}

}  // namespace install_step
