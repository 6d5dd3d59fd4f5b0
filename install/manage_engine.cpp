#include <install/manage_engine.h>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/answer_check.h>
#include <install/answer_text.h>
#include <install/chatbox_client.h>
#include <install/engine_task.h>
#include <install/install_engine.h>
#include <install/package_update.h>
#include <install/user_questions.h>
#include <install/runner_api.h>
#include <install/runner_server.h>
#include <install/space_text.h>
#include <install/step_runs.h>
#include <platform/os_encoding.h>
#include <service/service_state.h>

namespace {

constexpr long kStatusTimeoutMs = 5000;
constexpr long kProbeTimeoutMs = 2000;
// Removing a large model's files takes a while on a slow disk.
constexpr long kDeleteTimeoutMs = 120000;
constexpr char kBusyWithInstallText[] =
    TW_TR_NOOP("ManageEngine", "正在安装或下载模型，请等它完成后再操作。");
constexpr char kUpdateClosesChatboxText[] = TW_TR_NOOP(
    "ManageEngine", "更新需要关闭正在运行的 Chatbox，更新后会重新打开。现在关闭吗？");
constexpr char kUpdateCaption[] = TW_TR_NOOP("ManageEngine", "更新");

std::vector<std::string> ListedNames(const InstallLayout& layout) {
  const auto models = ListOurRunnerModels(layout, kStatusTimeoutMs);
  return models ? RunnerModelNames(*models) : std::vector<std::string>();
}

enum class ServerFound { kOurs, kStranger, kNone };

// Our server, started when nothing answers on its address. A runner of
// another program there speaks not for this installation: it is never
// asked to delete, and ours is not moved to another port behind the user's
// back (the client talks to that address).
ServerFound OurServerStarted(const InstallLayout& layout) {
  if (!RunnerServerIsOurs(layout) && RunnerAnswers(RunnerServerAddress(), kProbeTimeoutMs)) {
    return ServerFound::kStranger;
  }
  if (EnsureRunnerServer(layout, {}, kRunnerServerAnswerTimeoutMs) != RunnerServerState::Ready ||
      !RunnerServerIsOurs(layout)) {
    return ServerFound::kNone;
  }
  return ServerFound::kOurs;
}

}  // namespace

CManageEngine::CManageEngine(IManageView& view, IUserQuestions& questions,
                             CInstallEngine& installEngine, Action::IActionCallback* owner)
    : m_view(view), m_questions(questions), m_installEngine(installEngine), m_owner(owner) {}

void CManageEngine::OpenManagePage() {
  // Where everything lives is known at once; sizes and models follow.
  m_status = InstalledPartsAt(CurrentInstallLayout());
  m_pageOpen = true;
  const std::string& named = GetServiceState().packageVersion;
  m_status.updateVersion = UpdateOffered(named) ? named : std::string();
  m_view.ShowManagePage(m_status, false);
  if (!m_busy) RefreshPage();
}

void CManageEngine::RefreshPage() {
  StartEngineTask(m_owner, shared_from_this(),
                  [this, layout = CurrentInstallLayout()](Action::IAction* action) {
                    InstalledStatus status = CollectInstalledStatus(layout, kStatusTimeoutMs);
                    action->RunOnUI([this, &status] {
                      m_status = std::move(status);
                      ShowPage();
                      return 0;
                    });
                    return 0;
                  });
}

void CManageEngine::StartWork(const std::wstring& busyText,
                              std::function<int(Action::IAction*)> task) {
  SetBusy(true);
  m_view.ShowManageBusy(busyText);
  StartEngineTask(m_owner, shared_from_this(), std::move(task), [this] {
    SetBusy(false);
    m_view.ShowManageBusy(L"");
    m_view.ShowManageReport(TW_TR("ManageEngine", "提示"),
                            {TW_TR("ManageEngine", "操作未能完成，请重试。")});
    RefreshPage();
  });
}

void CManageEngine::SetBusy(bool busy) {
  m_busy = busy;
  // One gate for both: the window starts nothing while this runs.
  m_installEngine.SetManageWorkRunning(busy);
}

bool CManageEngine::CanStart() {
  if (m_busy) return false;
  if (!m_installEngine.WorkRunning()) return true;
  m_questions.ShowMessage(tw::Translate("ManageEngine", kBusyWithInstallText),
                            TW_TR("ManageEngine", "提示"));
  return false;
}

void CManageEngine::EndWork(InstalledStatus status, const std::vector<std::string>& models) {
  SetBusy(false);
  m_view.ShowManageBusy(L"");
  m_status = std::move(status);
  ShowPage();
  m_installEngine.ShowInstalledModels(models);
}

void CManageEngine::RemoveModel(const std::string& name) {
  if (!CanStart()) return;
  std::uint64_t size = 0;
  for (const InstalledModel& model : m_status.models) {
    if (model.name == name) size = model.size;
  }
  const std::wstring question =
      FormatWString(TW_TR("ManageEngine",
                          "确定删除模型 %ls 吗？\n将释放约 %ls 磁盘空间，之后需要时可以重新下载。")
                        .c_str(),
                    Utf8ToWide(name).c_str(), FormatFreeSpace(size).c_str());
  if (!m_questions.AskToContinue(question, TW_TR("ManageEngine", "删除模型"))) return;
  StartWork(
      FormatWString(TW_TR("ManageEngine", "正在删除模型 %ls…").c_str(), Utf8ToWide(name).c_str()),
      [this, name, layout = CurrentInstallLayout()](Action::IAction* action) {
        const ServerFound server = OurServerStarted(layout);
        const bool removed = server == ServerFound::kOurs &&
                             DeleteRunnerModel(RunnerServerAddress(), name, kDeleteTimeoutMs);
        const std::vector<std::string> remaining = ListedNames(layout);
        // The client must not greet the user with a model that is gone, nor
        // lose one the runner still has.
        const ChatboxConfigResult dropped =
            removed ? DropModelFromChatboxConfig(layout, name, remaining, AskBeforeRestartingChatbox(m_questions, action))
                    : ChatboxConfigResult::kWritten;
        // A running client the user keeps takes the change at its next start.
        const bool settingsKept = dropped == ChatboxConfigResult::kWritten ||
                                  dropped == ChatboxConfigResult::kClientRunning;
        InstalledStatus status = CollectInstalledStatus(layout, kStatusTimeoutMs);
        action->RunOnUI([&] {
          if (server == ServerFound::kOurs) {
            EndWork(std::move(status), remaining);
          } else {
            // Nothing was removed, and without our server nothing was
            // listed: the main window keeps the models it shows.
            SetBusy(false);
            m_view.ShowManageBusy(L"");
            m_status = std::move(status);
            ShowPage();
          }
          // Why nothing (or not all) was done, in one line of the report.
          std::wstring format;
          if (server == ServerFound::kStranger) {
            format = TW_TR("ManageEngine",
                           "模型 %ls 没有删除：模型服务的地址上运行的是其他程序，"
                           "不是本程序安装的 Ollama。");
          } else if (server == ServerFound::kNone) {
            format = TW_TR("ManageEngine", "模型 %ls 没有删除：本程序安装的模型服务未能启动。");
          } else if (!removed) {
            format =
                TW_TR("ManageEngine", "模型 %ls 未能删除：模型服务没有响应或已没有这个模型。");
          }
          if (!format.empty()) {
            m_view.ShowManageReport(
                TW_TR("ManageEngine", "删除模型"),
                {FormatWString(format.c_str(), Utf8ToWide(name).c_str())});
          } else if (!settingsKept) {
            m_view.ShowManageReport(TW_TR("ManageEngine", "删除模型"),
                                    {tw::Translate("ChatboxClient", kChatboxSettingsUnusableText)});
          }
          if (removed && remaining.empty()) ClosePage();
          return 0;
        });
        return 0;
      });
}

void CManageEngine::Repair() {
  if (!CanStart()) return;
  StepContext context;
  context.installation = TakeInstallation();
  StartWork(TW_TR("ManageEngine", "正在检查并修复…"), [this, context](Action::IAction* action) {
    bool allWell = false;
    StepContext asking = context;
    asking.restartClient = AskBeforeRestartingChatbox(m_questions, action);
    std::vector<std::wstring> lines = RepairInstallation(asking, &allWell);
    const std::vector<std::string> models = ListedNames(context.installation.layout);
    if (!models.empty()) {
      const bool answered = CheckRepairedModel(context.installation.layout, models, action, lines);
      allWell = allWell && answered;
    }
    InstalledStatus status = CollectInstalledStatus(context.installation.layout, kStatusTimeoutMs);
    action->RunOnUI([&] {
      EndWork(std::move(status), models);
      m_view.ShowManageReport(
          allWell ? TW_TR("ManageEngine", "修复完成") : TW_TR("ManageEngine", "修复未能全部完成"),
          lines);
      return 0;
    });
    return 0;
  });
}

bool CManageEngine::CheckRepairedModel(const InstallLayout& layout,
                                       const std::vector<std::string>& models,
                                       Action::IAction* action, std::vector<std::wstring>& lines) {
  // A repaired runner proves itself the way a new one does: a model answers
  // once.
  const std::string model = ModelToCheck(models);
  const long limitMs = AnswerLimitForTag(model);
  const FirstAnswer answer =
      AskOurRunner(layout, model, kRunnerServerAnswerTimeoutMs, limitMs, [&](long long waitedMs) {
        action->RunOnUI([&] {
          m_view.ShowManageBusy(AnswerLoadingLine(waitedMs));
          return 0;
        });
        return !action->IsCancelled();
      });
  m_installEngine.ReportEvent(AnswerEventName(answer.cause), true);
  const bool answered = answer.cause == FirstAnswerCause::Answered;
  lines.push_back(ReportLine(Utf8ToWide(model), answered ? AnswerShortLine(answer)
                                                          : AnswerFailureText(answer, limitMs)));
  return answered;
}

void CManageEngine::Update() {
  if (!CanStart()) return;
  StepContext context;
  context.installation = TakeInstallation();
  if (!UpdateOffered(context.installation.packageVersion)) return;
  StartWork(FormatWString(TW_TR("ManageEngine", "正在更新到 %ls…").c_str(),
                          Utf8ToWide(context.installation.packageVersion).c_str()),
            [this, context](Action::IAction* action) {
              StepContext asking = context;
              // A running client is closed for the update only when the user agrees.
              asking.restartClient = AskOnWindow(m_questions, action, "ManageEngine",
                                                 kUpdateClosesChatboxText, kUpdateCaption);
              UpdateCalls calls;
              calls.report = [this](const std::string& event) {
                m_installEngine.ReportEvent(event, false);
              };
              calls.progress = [this, action](const std::wstring& line) {
                action->RunOnUI([&] {
                  m_view.ShowManageBusy(line);
                  return 0;
                });
              };
              const UpdateReport report = UpdatePackage(asking, calls);
              const InstallLayout& layout = context.installation.layout;
              const std::vector<std::string> models = ListedNames(layout);
              InstalledStatus status = CollectInstalledStatus(layout, kStatusTimeoutMs);
              action->RunOnUI([&] {
                EndWork(std::move(status), models);
                std::vector<std::wstring> lines = report.lines;
                if (!report.cause.empty()) lines.insert(lines.begin(), report.cause);
                m_view.ShowManageReport(UpdateReportTitle(report), lines);
                return 0;
              });
              return 0;
            });
}

void CManageEngine::Uninstall() {
  if (!CanStart()) return;
  UninstallChoice choice;
  if (!m_view.AskUninstall(m_status.totalBytes, m_status.modelStore.bytes, choice)) return;
  // Told once, before anything goes: the report needs nothing of ours.
  m_installEngine.ReportEvent("uninstall", false);
  StepContext context;
  context.installation = TakeInstallation();
  context.keepModels = choice.keepModels;
  context.removeChatSettings = choice.removeChatSettings;
  StartWork(TW_TR("ManageEngine", "正在卸载…"), [this, context](Action::IAction* action) {
    const UninstallReport report = UninstallEverything(context);
    action->RunOnUI([&] {
      SetBusy(false);
      m_view.ShowManageBusy(L"");
      ClosePage();
      m_installEngine.ShowInstalledModels({});
      std::vector<std::wstring> lines = report.lines;
      if (!report.leftBehind.empty()) {
        lines.push_back(
            TW_TR("ManageEngine", "以下内容不是本程序安装的或按您的选择保留，未删除："));
        lines.insert(lines.end(), report.leftBehind.begin(), report.leftBehind.end());
      }
      m_view.ShowManageReport(
          report.ok ? TW_TR("ManageEngine", "卸载完成") : TW_TR("ManageEngine", "卸载未能全部完成"),
          lines);
      return 0;
    });
    return 0;
  });
}

void CManageEngine::ShowPage() {
  // Closed meanwhile: the figures wait for the next opening.
  if (!m_pageOpen) return;
  const std::string& named = GetServiceState().packageVersion;
  m_status.updateVersion = UpdateOffered(named) ? named : std::string();
  m_view.ShowManagePage(m_status, true);
}

void CManageEngine::ClosePage() {
  // A repair or uninstall ends with its report on the page.
  if (m_busy) return;
  m_pageOpen = false;
  m_view.HideManagePage();
}
