// The ready page's buttons: try-now (our runner's server, the chat client
// pointed at the model and started) and the tutorial.
#include <install/install_engine.h>

#include <base/file_helpers.h>
#include <base/text_helpers.h>
#include <base/translate.h>
#include <catalogue/tutorial_guide.h>
#include <install/chatbox_client.h>
#include <install/engine_task.h>
#include <install/chatbox_process.h>
#include <install/runner_login.h>
#include <install/runner_server.h>
#include <install/shell_helpers.h>
#include <package/package_extract.h>
#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <platform/top_level_window.h>
#include <service/service_state.h>

namespace {

void RaiseChatboxWindow() {
  // Only where the window system lets us reach another program's window;
  // elsewhere the client places its window itself.
  const platform::WindowHandle window =
      platform::FindTopLevelWindow(L"Chrome_WidgetWin_1", L"Chatbox");
  if (platform::IsWindowHandle(window)) platform::CenterWindowOnScreen(window);
}

}  // namespace

void CInstallEngine::TryNow() {
  if (ManageWorkBlocks()) return;
  // A client pointed at a model that could not answer would fail the
  // same way, in English, inside its chat.
  if (m_state.answer.phase == AnswerPhase::Failed &&
      !AskToContinue(m_state.answer.full + L"\n\n" +
                         TW_TR("InstallEngine", "聊天客户端里它多半也无法回答。仍要打开吗？"),
                     TW_TR("InstallEngine", "提示"))) {
    return;
  }
  // Starting the runner's server and the client may take a while: the
  // image stays disabled until the client has been started.
  m_state.tryNowBusy = true;
  Publish();
  StartAction(
      [this, layout = CurrentInstallLayout()](Action::IAction* action) {
        Step("try now");
        // After a restart nothing runs yet: the client needs our server. It
        // may have had to move to another port since: the login
        // registration and the client's settings follow it (the settings
        // are rewritten only when something in them changes).
        if (EnsureRunnerServer(layout, {}, pullOptions.serverTimeoutMs) ==
            RunnerServerState::Ready) {
          RegisterRunnerServerAtLogin(layout);
        }
        const std::string tag = modelTag();
        if (!tag.empty()) ConfigureChatClient(tag, action, layout);
        InstallChatbox(layout);
        StartChatbox(layout);
        OnWindow(action, [this] {
          m_state.tryNowBusy = false;
          Publish();
          RaiseChatboxWindow();
        });
        return 0;
      },
      [this] {
        m_state.tryNowBusy = false;
        Publish();
      });
}

void CInstallEngine::ConfigureChatClient(const std::string& tag, Action::IAction* action,
                                         const InstallLayout& layout) {
  if (WriteChatboxConfig(layout, tag, RunnerServerAddress(),
                         AskBeforeRestartingChatbox(*this, action)) == ChatboxConfigResult::kUnusable) {
    TellSettingsUnusable(action);
  }
}

void CInstallEngine::TellSettingsUnusable(Action::IAction* action) {
  OnWindow(action, [this] {
    ShowMessage(tw::Translate("ChatboxClient", kChatboxSettingsUnusableText),
         TW_TR("InstallEngine", "提示"));
  });
}

std::wstring CInstallEngine::TutorialFolder() {
  const std::wstring folder = GetServiceState().workFolder;
  if (!folder.empty()) platform::CreateOwnPrivateFolder(platform::OsPath(folder));
  return folder;
}

void CInstallEngine::OpenUserTutorial() {
  const std::wstring archive = GetServiceState().workFolder + kTutorialArchiveName;
  const std::size_t dot = archive.rfind(L'.');
  if (dot == std::wstring::npos) return;
  const std::wstring folder = archive.substr(0, dot) + platform::PathSeparator();
  // The guide in the window's language; an archive placed before there was
  // an English guide holds the Chinese one only, which beats opening nothing.
  std::wstring document = folder + Utf8ToWide(TutorialGuideFor(tw::ShownLanguage()));
  if (!FileExists(document)) ExtractPackage(archive);
  if (!FileExists(document)) document = folder + Utf8ToWide(kTutorialGuideChinese);
  if (FileExists(document)) ShellOpenInExplorer(0, document);
}
