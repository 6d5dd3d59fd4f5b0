#include <install/install_engine.h>

#include <algorithm>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/model_catalogue.h>
#include <install/engine_task.h>
#include <install/install_layout.h>
#include <service/service_state.h>
#include <work/action_factory.h>

namespace {
constexpr char kNoticeCaption[] = TW_TR_NOOP("InstallEngine", "提示");
}

CInstallEngine::CInstallEngine(IInstallView& view, Action::IActionCallback* owner)
    : m_view(&view), m_owner(owner) {
  if (INotifyCenter* center = INotifyCenter::getSingletonPtr()) center->RegisterEventMap(this);
}

CInstallEngine::~CInstallEngine() { DetachView(); }

void CInstallEngine::DetachView() {
  if (m_view == nullptr) return;
  m_view = nullptr;
  if (INotifyCenter* center = INotifyCenter::getSingletonPtr()) center->UnregisterEventMap(this);
}

void CInstallEngine::Publish() {
  if (m_view != nullptr) m_view->ShowState(m_state);
}

bool CInstallEngine::AskToContinue(const std::wstring& text, const std::wstring& caption) {
  return m_view != nullptr && m_view->AskToContinue(text, caption);
}

void CInstallEngine::ShowMessage(const std::wstring& text, const std::wstring& caption) {
  if (m_view != nullptr) m_view->ShowMessage(text, caption);
}

void CInstallEngine::OnWindow(Action::IAction* action, const std::function<void()>& fn) {
  action->RunOnUI([&fn] {
    fn();
    return 0;
  });
}

std::string CInstallEngine::modelTag() const {
  CMutexLock lock(m_mutex);
  return m_modelTag;
}

std::string CInstallEngine::modelIndexText() const {
  CMutexLock lock(m_mutex);
  return m_modelIndexText;
}

void CInstallEngine::StartAction(std::function<int(Action::IAction*)> task,
                                 std::function<void()> onThrow) {
  m_tasksRunning.fetch_add(1);
  StartEngineTask(
      m_owner, shared_from_this(),
      [this, task = std::move(task)](Action::IAction* action) {
        struct Count {
          std::atomic<int>& running;
          ~Count() { running.fetch_sub(1); }
        } count{m_tasksRunning};
        return task(action);
      },
      std::move(onThrow));
}

void CInstallEngine::Step(const char* name) {
  if (stepHookForTesting) stepHookForTesting(name);
}

// ---- What runs ---------------------------------------------------------------

bool CInstallEngine::WorkRunning() const { return m_packageRunning || m_tasksRunning.load() > 0; }

void CInstallEngine::SetManageWorkRunning(bool running) {
  m_state.manageWorkRunning = running;
  Publish();
}

bool CInstallEngine::ManageWorkBlocks() {
  if (!m_state.manageWorkRunning) return false;
  ShowMessage(TW_TR("InstallEngine", "正在修复或卸载，请等它完成后再操作。"),
       tw::Translate("InstallEngine", kNoticeCaption));
  return true;
}

// ---- The stage and the models shown ------------------------------------------

void CInstallEngine::ShowStage(InstallStage stage) {
  m_state.stage = stage;
  Publish();
}

void CInstallEngine::ReturnToIdle() {
  m_state.stage = InstallStage::Idle;
  // What the last pull said belongs to the stage that is gone.
  m_state.installPull.line.clear();
  m_state.installPull.full.clear();
  Publish();
}

void CInstallEngine::SetCause(const std::wstring& text) {
  m_state.cause = text;
  Publish();
}

void CInstallEngine::SetRowCause(int row, const std::wstring& text) {
  m_state.row(row).cause = text;
  Publish();
}

void CInstallEngine::ShowDownloadedModel(const std::string& number) {
  std::wstring tag;
  for (int row = 1; row <= kModelCount; ++row) {
    if (number != std::to_string(row)) continue;
    tag = ModelTagForNumber(number);
    m_state.row(row).installed = true;
    break;
  }
  if (!tag.empty()) {
    // The chat client's fallback when nothing was pulled in this run.
    CMutexLock lock(m_mutex);
    if (m_modelTag.empty()) m_modelTag = WideToUtf8(tag);
  }
  m_state.readyModel = FormatWString(TW_TR("InstallEngine", "已下载 %ls").c_str(), tag.c_str());
  // The answer shown is about one model: another one shown has not been asked.
  if (number != m_answerNumber) m_state.answer = {};
  Publish();
}

void CInstallEngine::ShowInstalledModels(const std::vector<std::string>& names) {
  std::string shown;
  for (int row = 1; row <= kModelCount; ++row) {
    const std::string tag = WideToUtf8(ModelTagForNumber(std::to_string(row)));
    const bool installed = std::find(names.begin(), names.end(), tag) != names.end();
    m_state.row(row).installed = installed;
    if (installed && (shown.empty() || std::to_string(row) == modelIndexText())) {
      shown = std::to_string(row);
    }
  }
  if (!shown.empty()) {
    ShowDownloadedModel(shown);
    return;
  }
  // Nothing of the catalogue is left to chat with: the install page again.
  {
    CMutexLock lock(m_mutex);
    m_modelTag.clear();
    m_modelIndexText.clear();
  }
  GetServiceState().rememberedModelIndex = std::string();
  m_state.readyModel.clear();
  ReturnToIdle();
}

// ---- The package events --------------------------------------------------------

void CInstallEngine::OnEvent(EventArgs& event) {
  if (event.idFrom != 0) return;
  if (const auto* failed = dynamic_cast<EventQrCodeDisChanged3*>(&event)) {
    event.handled = true;
    OnPackageFailed(*failed);
  } else if (const auto* ready = dynamic_cast<EventDownModelChanged3*>(&event)) {
    event.handled = true;
    OnPackageReady(*ready);
  }
}
