#pragma once
// The chat client: its silent setup, the key its setup reads, and its
// settings file pointed at the pulled model without losing anything the
// user set there. The forms without a layout take the current install
// folder's. Model tags are UTF-8 throughout, as the runner names them and
// the settings file stores them.
#include <json/value.h>

#include <string>
#include <vector>

#include <base/translate.h>
#include <install/install_layout.h>

// Told to the user when the client's settings file could not be used
// (shown through tw::Translate with the context "ChatboxClient").
inline constexpr char kChatboxSettingsUnusableText[] =
    TW_TR_NOOP("ChatboxClient",
               "无法读取聊天客户端 Chatbox 的设置文件，该文件已保持原样，未作任何修改。"
               "请打开 Chatbox，在设置中自行选择模型。");

// Asked before our running client is restarted for a settings change.
inline constexpr char kChatboxRestartText[] =
    TW_TR_NOOP("ChatboxClient",
               "Chatbox 需要重新启动才能使用新模型。现在重新启动 Chatbox 吗？\n"
               "正在生成的回答会被中断；选择“否”则在下次点击“立即体验”时使用新模型。");
inline constexpr char kChatboxRestartCaption[] = TW_TR_NOOP("ChatboxClient", "重新启动 Chatbox");

// Creates the client folder, writes the setup key and, unless the client is
// already there, runs its setup silently and waits for it; a client that
// comes as an AppImage is then unpacked.
void InstallChatbox();
void InstallChatbox(const InstallLayout& layout);
// The per-user key that tells the client's setup where to install.
void WriteChatboxSetupKey(const std::wstring& folder);

enum class ChatboxConfigResult {
  kWritten,      // the settings choose the model (also when they already did)
  kUnusable,     // the file could not be used and is left exactly as it was
  kWriteFailed,  // nothing was changed: no stop, no backup or no write
  // Our client runs and was not to be restarted: nothing was changed (its
  // next start by try-now takes the change).
  kClientRunning,
};

// Asked (on the caller's thread) when a change is needed while our client
// runs: true to restart it now, which ends it as the user would (it saves
// its own settings first), writes the change and starts it again. Without
// one a running client is never ended.
#include <functional>
using ChatboxRestart = std::function<bool()>;

// Points the client's settings at the model (tag, UTF-8) on the runner at
// host ("http://127.0.0.1:11434"). A running client is restarted only when
// restart says so (it writes its settings back when it ends, so it ends
// before the file changes). A missing file is created with both layouts; an
// existing one keeps everything else the user set. A file that is a link,
// is no regular file, cannot be read or is no JSON object is never touched;
// nor is any for a tag that is no UTF-8. Before each change the file as it
// was is kept as the newest of the backups. The file is replaced in one step
// and private. Callers on any thread; one at a time.
ChatboxConfigResult WriteChatboxConfig(const std::string& tag, const std::string& host,
                                       const ChatboxRestart& restart = {});
// The same for the client below the given layout.
ChatboxConfigResult WriteChatboxConfig(const InstallLayout& layout, const std::string& tag,
                                       const std::string& host, const ChatboxRestart& restart = {});
// The settings lose the model (tag, UTF-8 as the runner names it): their
// choice moves to the first of remaining (UTF-8) or is cleared, the same way
// and with the same safety as WriteChatboxConfig (the client below the
// layout stopped first, a backup, one-step private write). kWritten also when
// the settings did not name the model or there is no settings file.
ChatboxConfigResult DropModelFromChatboxConfig(const InstallLayout& layout, const std::string& tag,
                                               const std::vector<std::string>& remaining,
                                               const ChatboxRestart& restart = {});
// Offers the model (UTF-8) on the runner at host without choosing it, the
// same way and with the same safety as WriteChatboxConfig: for a user who
// chose another model themselves.
ChatboxConfigResult ListModelInChatboxConfig(const InstallLayout& layout, const std::string& model,
                                             const std::string& host,
                                             const ChatboxRestart& restart = {});
// True when the client offers the model (UTF-8) on the runner, and when the
// user chose a model of their own there (none of ours, UTF-8).
bool ChatboxConfigListsModel(const std::string& model);
bool ChatboxConfigChoseOtherModel(const std::vector<std::string>& ours);

// True when the client that reads the settings file would chat with the
// model (tag, UTF-8) on the runner.
bool ChatboxConfigHasModel(const std::string& tag);

// The client's settings document: false unless the file is a regular file
// (no link) holding a JSON object.
bool ReadChatboxSettings(Json::Value& root);

// The file as it was before we first changed it (none when there was no
// file), kept until uninstall whatever changes follow; the record says
// whether there was one.
std::wstring ChatboxSettingsFirstBackup();
// Uninstall: the client's choice of provider, host and default model goes
// back to what the user had before we first changed it, and what we added
// (our models in the runner's list, the runner's address) goes where it
// was not the user's; everything else the client keeps (chats, its own
// changes) stays. Our backups go. The client must not run. False when the
// file could not be used or written (then it is left as it is).
bool RestoreUsersChatboxChoice();

// How many backups are kept, and where: "config.json.before-tidewell-1"
// (the newest) to "-3" beside the settings file.
inline constexpr int kChatboxSettingsBackups = 3;
std::wstring ChatboxSettingsBackup(int number);
