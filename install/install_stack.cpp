// The installation's second half on a worker: the store, the runner, the
// model's pull, the chat client and its settings, the login entry; and how
// the window hears of each stage.
#include <install/install_engine.h>

#include <future>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>
#include <install/chatbox_client.h>
#include <install/engine_task.h>
#include <install/install_steps.h>
#include <install/ollama_runner.h>
#include <install/owned_files.h>
#include <install/progress_text.h>
#include <install/pull_failure.h>
#include <install/runner_server.h>
#include <install/update_journal.h>
#include <service/service_state.h>

namespace {
constexpr char kNetworkText[] = TW_TR_NOOP("InstallEngine", "网络不畅，关闭软件后重新打开即可!");
constexpr char kNetworkCaption[] = TW_TR_NOOP("InstallEngine", "提示");
}  // namespace

int CInstallEngine::InstallStackTask(Action::IAction* action, const InstallLayout& layout,
                                     const std::string& packageVersion) {
  Step("runner");
  ReportEvent("InstallOllamaStart", true);
  // The end is reported only for a runner that answers; a setup that left
  // none says so (the pull below then fails on its own).
  StepContext context;
  context.installation.layout = layout;
  // The store and its environment entry first: the runner's setup and
  // server find them there.
  PerformInstallStep("store", context);
  PerformInstallStep("environment", context);
  const bool freshRunner = !IsOllamaInstalled(layout);
  const bool runnerWorks = PerformInstallStep("runner", context).ok;
  ReportEvent(runnerWorks ? "InstallOllamaEnd" : "InstallOllamaFails", true);
  // The model taken at the click comes with the stage's change.
  int listIndex = 0;
  OnWindow(action, [&] { listIndex = ShowModelDownloading(); });
  ReportEvent("DownModelStart", true);
  Step("pull");
  // The chat client's files come from the unpacked package, not the
  // network: they go in while the model arrives.
  std::future<StepOutcome> client =
      std::async(std::launch::async, [&context] { return PerformInstallStep("client", context); });
  const PullResult pull = PullSelectedModel(listIndex, action, layout);
  // Both programs of this package are in: the record says which it was. A
  // runner there already came from an earlier package and keeps its entry.
  const bool clientThere = client.get().ok;
  if (freshRunner && runnerWorks && clientThere) RecordPackageVersion(packageVersion);
  ReportEvent("DownModelEnd", true);
  // A server that never answered is not asked (and waited for) again.
  RunnerCheck check;
  bool downloaded = false;
  if (pull.failure == PullFailure::ServerNotAnswering) {
    check.server = RunnerServerState::NotAnswering;
    ReportEvent("modelDownFails", true);
  } else {
    downloaded = RunnerListsModel(modelTag(), layout, pullOptions.serverTimeoutMs);
    check = FindCatalogueModel(layout, GetServiceState().rememberedModelIndex,
                               pullOptions.serverTimeoutMs);
  }
  if (pull.progress.phase != PullPhase::Success) {
    check.pullCause = ClassifyPull(pull);
    check.pullError = pull.progress.errorText;
  }
  bool found = false;
  OnWindow(action, [&] { found = ConfirmModelOrReset(check); });
  if (!found) return 0;
  // Settings that name a model the runner does not have would greet the
  // user with an error: they are written once the runner lists it.
  if (downloaded) {
    Step("client");
    context.model = modelTag();
    context.restartClient = AskBeforeRestartingChatbox(*this, action);
    if (PerformInstallStep("client-settings", context).unusable) TellSettingsUnusable(action);
    // From now on the runner's server starts with the user's session.
    PerformInstallStep("login", context);
  }
  // Listed is not working: the model loads and answers once before the
  // ready page says it is there (and stays loaded for the chat client).
  FirstAnswer answer;
  answer.cause = FirstAnswerCause::Answered;
  if (downloaded) answer = CheckFirstAnswer(0, modelTag(), action, layout);
  // The last step: once the ready page shows, this task touches nothing
  // but the box that names a failed answer.
  OnWindow(action, [&] {
    ShowInstallFinished(downloaded, check);
    if (downloaded && answer.cause != FirstAnswerCause::Answered) {
      OfferWayOut(modelTag(), answer);
    }
  });
  return 0;
}

int CInstallEngine::ShowModelDownloading() {
  m_state.answer = {};
  ShowStage(InstallStage::Model);
  return m_installingModel;
}

bool CInstallEngine::ConfirmModelOrReset(const RunnerCheck& check) {
  if (check.found) {
    ShowDownloadedModel(check.number);
    return true;
  }
  ReturnToIdle();
  ShowPullFailure(check);
  return false;
}

void CInstallEngine::ShowPullFailure(const RunnerCheck& check) {
  PullCause cause = check.pullCause;
  // A runner that never started is not a network problem either.
  if (cause == PullCause::Unknown && check.server == RunnerServerState::NotAnswering) {
    cause = PullCause::ServerNotAnswering;
  }
  const std::wstring text = PullFailureMessage(cause, check.pullError);
  // The box goes; the line under the install image keeps the cause in view.
  SetCause(PullCauseLine(cause));
  ShowMessage(text.empty() ? tw::Translate("InstallEngine", kNetworkText) : text,
       tw::Translate("InstallEngine", kNetworkCaption));
}

void CInstallEngine::ShowInstallFinished(bool modelDownloaded, const RunnerCheck& check) {
  if (!modelDownloaded) {
    // Other models are there but not this one: say so and let the user try
    // again rather than leave the window on the pulling image.
    ReturnToIdle();
    ShowPullFailure(check);
    return;
  }
  const std::string number = modelIndexText();
  GetServiceState().rememberedModelIndex = number;
  m_state.stage = InstallStage::Ready;
  ShowDownloadedModel(number);
}

// ---- Pulls -----------------------------------------------------------------------

void CInstallEngine::SetCurrentModel(const std::wstring& tag) {
  const std::string number = ModelIndexOf(tag);
  CMutexLock lock(m_mutex);
  m_modelTag = WideToUtf8(tag);
  if (!number.empty()) m_modelIndexText = number;
}

PullResult CInstallEngine::PullSelectedModel(int listIndex, Action::IAction* action,
                                             const InstallLayout& layout) {
  // The model chosen at the click, whatever the form shows now.
  return PullModel(ModelTagForListIndex(listIndex), 0, action, layout);
}

PullResult CInstallEngine::PullModel(const std::wstring& tag, int row, Action::IAction* action,
                                     const InstallLayout& layout) {
  SetCurrentModel(tag);
  // What the runner wrote into our store for us, whatever the outcome (a
  // broken-off pull leaves its parts).
  struct RecordStore {
    const std::wstring& store;
    ~RecordStore() { RecordAddedIn(store, "store"); }
  } record{layout.modelStore};
  return RunModelPull(
      layout, WideToUtf8(tag),
      [this, row, action](const PullProgress& progress) {
        OnWindow(action, [&] { ShowPullProgress(row, progress); });
      },
      pullOptions);
}

void CInstallEngine::ShowPullProgress(int row, const PullProgress& progress) {
  PullShown& shown = row == 0 ? m_state.installPull : m_state.row(row).pull;
  const std::uint64_t updates = shown.updates + 1;
  shown = DescribePull(row, row == 0 ? modelTag() : std::string(), progress);
  shown.updates = updates;
  Publish();
}

PullShown CInstallEngine::DescribePull(int row, const std::string& tag,
                                       const PullProgress& progress) {
  PullShown shown;
  shown.progress = progress;
  // The installation's own line names the model; a row names it already.
  shown.full = Utf8ToWide(PullProgressText(row == 0 ? tag : std::string(), progress));
  shown.line = row == 0 ? shown.full : Utf8ToWide(PullRowProgressText(progress));
  return shown;
}

bool CInstallEngine::IsModelDownloaded(const std::string& tag) {
  return RunnerListsModel(tag, CurrentInstallLayout(), pullOptions.serverTimeoutMs);
}

RunnerCheck CInstallEngine::DetectInstalledModel() {
  return FindCatalogueModel(CurrentInstallLayout(), GetServiceState().rememberedModelIndex,
                            pullOptions.serverTimeoutMs);
}
