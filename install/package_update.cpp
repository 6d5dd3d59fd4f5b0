#include <install/package_update.h>

#include <filesystem>
#include <optional>

#include <base/package_version.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>
#include <install/answer_check.h>
#include <install/answer_text.h>
#include <install/chatbox_process.h>
#include <install/install_layout.h>
#include <install/install_record.h>
#include <install/ollama_runner.h>
#include <install/runner_api.h>
#include <install/runner_server.h>
#include <install/step_support.h>
#include <install/update_journal.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>

namespace {

// The runner, not the machine: a model too large for the memory says
// nothing about the new runner.
bool RunnerFailed(FirstAnswerCause cause) {
  return cause == FirstAnswerCause::NoServer || cause == FirstAnswerCause::RunnerEnded ||
         cause == FirstAnswerCause::NoAnswerInTime;
}

std::wstring CauseText(FirstAnswerCause cause) {
  switch (cause) {
    case FirstAnswerCause::NoServer:
      return TW_TR("PackageUpdate", "新的 Ollama 没有响应");
    case FirstAnswerCause::RunnerEnded:
      return TW_TR("PackageUpdate", "新的 Ollama 在加载模型时退出了");
    default:
      break;
  }
  return TW_TR("PackageUpdate", "新的 Ollama 没有在限定时间内回答");
}

class Run {
 public:
  Run(const StepContext& context, const UpdateCalls& calls)
      : m_context(context), m_calls(calls), m_layout(context.installation.layout),
        m_version(context.installation.packageVersion) {}

  UpdateReport Go() {
    if (!UpdateOffered(m_version))
      return NotStarted(TW_TR("PackageUpdate", "已是最新版本，无需更新"));
    Hook("stop");
    m_clientRan = ChatboxRunsIn(m_layout.chatboxFolder);
    if (m_clientRan && (!m_context.restartClient || !m_context.restartClient()))
      return NotStarted(TW_TR("PackageUpdate", "Chatbox 正在运行，关闭后再更新即可"));
    Say(TW_TR("PackageUpdate", "正在停止模型服务和 Chatbox…"));
    m_stopped = true;
    if (!PerformUndo("server") || !StopChatboxIn(m_layout.chatboxFolder))
      return NotStarted(TW_TR("PackageUpdate", "无法结束正在运行的 Ollama 或 Chatbox"));
    Report("UpdateStart");
    Hook("set-aside");
    Say(TW_TR("PackageUpdate", "正在保存旧版本…"));
    if (!SetUpdateStage(UpdateStage::SetAside, m_version, m_layout))
      return NotStarted(TW_TR("PackageUpdate", "无法写入安装记录"));
    if (!SetAsideOldPrograms(m_layout))
      return RollBack(TW_TR("PackageUpdate", "旧版本无法移到一旁"));
    // The kept archive is the old package: the new one is fetched.
    std::error_code ec;
    std::filesystem::remove(platform::OsPath(PackageArchivePath()), ec);
    SetUpdateStage(UpdateStage::Install, m_version, m_layout);
    for (const char* step : {"package", "runner", "client"}) {
      Hook(step);
      const StepOutcome outcome = PerformInstallStep(step, m_context);
      Line(step, outcome.text);
      if (!outcome.ok) return RollBack(outcome.text);
    }
    Hook("server");
    Say(TW_TR("PackageUpdate", "正在启动模型服务…"));
    if (EnsureRunnerServer(m_layout, {}, kRunnerServerAnswerTimeoutMs) !=
        RunnerServerState::Ready) {
      return RollBack(CauseText(FirstAnswerCause::NoServer));
    }
    Hook("answer");
    const auto listed = ListOurRunnerModels(m_layout, install_step::kRunnerAskTimeoutMs);
    const std::string model =
        ModelToCheck(listed ? RunnerModelNames(*listed) : std::vector<std::string>());
    if (!model.empty()) {
      Say(install_step::Fill(TW_TR("PackageUpdate", "正在让 %ls 回答第一个问题…"),
                             Utf8ToWide(model)));
      const FirstAnswer answer = AskOurRunner(m_layout, model, kRunnerServerAnswerTimeoutMs,
                                              AnswerLimitForTag(model), {});
      if (RunnerFailed(answer.cause)) return RollBack(CauseText(answer.cause));
      m_report.lines.push_back(ReportLine(Utf8ToWide(model), AnswerShortLine(answer)));
    }
    SetUpdateStage(UpdateStage::Finish, m_version, m_layout);
    Hook("clean-up");
    Finish();
    if (m_clientRan) StartChatbox(m_layout);
    m_report.result = UpdateResult::Updated;
    m_report.lines.push_back(install_step::Fill(
        TW_TR("PackageUpdate", "已更新到 %ls：Ollama 和 Chatbox 已替换，模型和聊天记录保持不变"),
        Utf8ToWide(m_version)));
    Report("UpdateEnd");
    return m_report;
  }

  // Back to the old programs, from wherever a run stopped.
  UpdateReport RollBack(const std::wstring& cause) {
    m_report.cause = cause;
    SetUpdateStage(UpdateStage::Restore, m_version, m_layout);
    Hook("restore");
    Say(TW_TR("PackageUpdate", "正在恢复旧版本…"));
    std::vector<std::wstring> left;
    if (!RestoreOldPrograms(m_layout, &left)) {
      m_report.result = UpdateResult::Incomplete;
      m_report.lines.push_back(TW_TR("PackageUpdate", "旧版本未能全部恢复，下次启动时继续"));
      m_report.lines.insert(m_report.lines.end(), left.begin(), left.end());
      return m_report;
    }
    m_report.result = UpdateResult::RolledBack;
    const bool answers =
        EnsureRunnerServer(m_layout, {}, kRunnerServerAnswerTimeoutMs) == RunnerServerState::Ready;
    m_report.lines.push_back(answers ? TW_TR("PackageUpdate", "已恢复旧版本，模型服务正常运行")
                                     : TW_TR("PackageUpdate", "已恢复旧版本，但模型服务没有启动"));
    if (m_clientRan) StartChatbox(m_layout);
    Report("UpdateRolledBack");
    return m_report;
  }

  // The journal's stage at a start: finished when the new programs had
  // answered, otherwise rolled back.
  UpdateReport Resume(UpdateStage stage) {
    if (stage == UpdateStage::Finish) {
      Finish();
      m_report.result = UpdateResult::Updated;
      m_report.lines.push_back(install_step::Fill(TW_TR("PackageUpdate", "上次的更新已完成：%ls"),
                                                  Utf8ToWide(m_version)));
      Report("UpdateEnd");
      return m_report;
    }
    return RollBack(TW_TR("PackageUpdate", "上次的更新没有完成"));
  }

 private:
  UpdateReport NotStarted(const std::wstring& cause) {
    m_report.result = UpdateResult::NotStarted;
    m_report.cause = cause;
    // What was stopped for nothing runs again as it did.
    if (m_stopped) {
      EnsureRunnerServer(m_layout, {}, kRunnerServerAnswerTimeoutMs);
      if (m_clientRan) StartChatbox(m_layout);
    }
    return m_report;
  }
  // The old programs go; what of them stays is named.
  void Finish() {
    std::vector<std::wstring> left;
    if (FinishUpdate(m_layout, m_version, &left)) return;
    m_report.lines.push_back(TW_TR("PackageUpdate", "旧版本的以下文件未能删除，下次更新时再删除："));
    m_report.lines.insert(m_report.lines.end(), left.begin(), left.end());
  }
  void Hook(const char* step) const {
    if (m_context.beforeStep) m_context.beforeStep(step);
  }
  void Say(const std::wstring& line) const {
    if (m_calls.progress) m_calls.progress(line);
  }
  void Report(const std::string& event) const {
    if (m_calls.report) m_calls.report(event);
  }
  void Line(const char* name, const std::wstring& text) {
    const std::unique_ptr<InstallStep> step = MakeInstallStep(name);
    if (step == nullptr) return;
    m_report.lines.push_back(ReportLine(step->Title(), text));
    Say(m_report.lines.back());
  }
  bool PerformUndo(std::string_view name) const {
    const std::unique_ptr<InstallStep> step = MakeInstallStep(name);
    return step != nullptr && step->Undo(m_context).ok;
  }

  const StepContext& m_context;
  const UpdateCalls& m_calls;
  const InstallLayout& m_layout;
  const std::string& m_version;
  bool m_clientRan = false;  // our chat client ran: it is started again at the end
  bool m_stopped = false;    // our server and client were stopped
  UpdateReport m_report;
};

}  // namespace

bool UpdateOffered(const std::string& namedVersion) {
  if (!IsPackageVersion(namedVersion)) return false;
  const InstallRecord record = LoadInstallRecord();
  // Only an installation of ours is updated: its runner folder recorded.
  const std::wstring folder = LoadInstallPath();
  if (folder.empty() || !record.IsOurs(MakeInstallLayout(folder).ollamaFolder)) return false;
  bool found = false;
  const std::string installed = InstalledPackageVersion(&found);
  if (!found) return true;
  return IsPackageVersion(installed) && ComparePackageVersions(namedVersion, installed) > 0;
}

UpdateReport UpdatePackage(const StepContext& context, const UpdateCalls& calls) {
  return Run(context, calls).Go();
}

bool UpdatePending() { return PendingUpdateStage() != UpdateStage::None; }

bool FinishPendingUpdate(UpdateReport* report, const UpdateCalls& calls) {
  const UpdateStage stage = PendingUpdateStage();
  if (stage == UpdateStage::None) return false;
  StepContext context;
  context.installation.layout = PendingUpdateLayout();
  context.installation.packageVersion = PendingUpdateVersion();
  // A folder that is no absolute path is none of ours to work in: the stage
  // goes, or every start would find it again.
  if (!platform::OsPath(context.installation.layout.installFolder).is_absolute()) {
    SetUpdateStage(UpdateStage::None, {}, context.installation.layout);
    return false;
  }
  UpdateReport finished = Run(context, calls).Resume(stage);
  if (report != nullptr) *report = std::move(finished);
  return true;
}

std::wstring UpdateReportTitle(const UpdateReport& report) {
  switch (report.result) {
    case UpdateResult::Updated:
      return TW_TR("PackageUpdate", "更新完成");
    case UpdateResult::RolledBack:
      return TW_TR("PackageUpdate", "更新未成功，已恢复旧版本");
    case UpdateResult::Incomplete:
      return TW_TR("PackageUpdate", "更新未能完成");
    case UpdateResult::NotStarted:
      break;
  }
  return TW_TR("PackageUpdate", "未更新");
}
