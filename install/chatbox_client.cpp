#include <install/chatbox_client.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>

#include <base/file_helpers.h>
#include <base/process_helpers.h>
#include <base/text_helpers.h>
#include <catalogue/model_catalogue.h>
#include <config/app_constants.h>
#include <config/json_text.h>
#include <config/reg_key.h>
#include <install/chatbox_process.h>
#include <install/chatbox_settings.h>
#include <install/install_layout.h>
#include <install/install_record.h>
#include <install/owned_files.h>
#include <platform/atomic_file.h>
#include <platform/file_handle.h>
#include <platform/folder_steps.h>
#include <platform/os_encoding.h>
#include <platform/thread_annotations.h>
#include <platform/utf.h>
#include <service/service_state.h>

namespace {

namespace fs = std::filesystem;

// Several workers and the window thread write the settings: one at a time.
// It guards a file, which the analysis cannot see; the functions that change
// the file on disk require it.
CMutex g_settingsMutex;

enum class FileState { kMissing, kRead, kUnusable };

// The settings file's bytes. Only a regular file is read: a link (which the
// client would follow somewhere we must not replace; on Windows a symbolic
// link or a junction), a folder, a pipe or a device is unusable. The file is
// opened as itself, never through a link in its place.
FileState ReadSettingsFile(const fs::path& file, std::string& bytes) {
  bytes.clear();
  errno = 0;
  const platform::FileHandle folder(platform::OpenFolder(file.parent_path()));
  if (!folder.valid()) return errno == ENOENT ? FileState::kMissing : FileState::kUnusable;
  const std::string name = platform::WideToUtf8(platform::WidePath(file.filename()));
  errno = 0;
  const platform::FileHandle handle(platform::OpenFileIn(folder.get(), name));
  if (!handle.valid()) return errno == ENOENT ? FileState::kMissing : FileState::kUnusable;
  const std::optional<platform::FileFacts> facts = platform::FactsOf(handle.get());
  if (!facts || !facts->regular) return FileState::kUnusable;
  std::string read;
  char buffer[16384];
  for (;;) {
    const long long count = platform::ReadSome(handle.get(), buffer, sizeof buffer);
    if (count < 0) return FileState::kUnusable;
    if (count == 0) break;
    read.append(buffer, static_cast<std::size_t>(count));
  }
  bytes = std::move(read);
  return FileState::kRead;
}

// The file as it was becomes the newest backup; the oldest is dropped.
bool KeepBackup(const std::string& bytes) TW_REQUIRES(g_settingsMutex) {
  std::error_code ec;
  for (int number = kChatboxSettingsBackups - 1; number >= 1; --number) {
    const fs::path older = platform::OsPath(ChatboxSettingsBackup(number));
    if (!fs::exists(fs::symlink_status(older, ec))) continue;
    fs::rename(older, platform::OsPath(ChatboxSettingsBackup(number + 1)), ec);
    if (ec) return false;
  }
  return platform::WriteFileAtomically(platform::OsPath(ChatboxSettingsBackup(1)), bytes) == 0;
}

// One change to the settings document.
struct SettingsEdit {
  // The document for a missing or empty file; without it such a file stays.
  std::function<Json::Value()> fresh;
  // Changes a user's document; false when it cannot be used.
  std::function<bool(Json::Value&)> apply;
};

// What the edit would do to the file as it is now.
struct SettingsChange {
  bool needed = false;  // otherwise result says how it ends
  ChatboxConfigResult result = ChatboxConfigResult::kWritten;
  bool existed = false;
  std::string original;
  Json::Value root;
};

SettingsChange PlanChange(const fs::path& file, const SettingsEdit& edit) {
  SettingsChange change;
  const FileState state = ReadSettingsFile(file, change.original);
  if (state == FileState::kUnusable) {
    change.result = ChatboxConfigResult::kUnusable;
    return change;
  }
  change.existed = state == FileState::kRead;
  if (!change.existed || change.original.empty()) {
    change.needed = static_cast<bool>(edit.fresh);
    if (change.needed) change.root = edit.fresh();
    return change;
  }
  if (!ParseJson(change.original, change.root) || !change.root.isObject()) {
    change.result = ChatboxConfigResult::kUnusable;
    return change;
  }
  const Json::Value before = change.root;
  if (!edit.apply(change.root)) {
    change.result = ChatboxConfigResult::kUnusable;
  } else {
    change.needed = change.root != before;  // otherwise it is as asked already
  }
  return change;
}

ChatboxConfigResult WriteChange(const fs::path& file, const SettingsChange& change)
    TW_REQUIRES(g_settingsMutex);

ChatboxConfigResult EditSettings(const InstallLayout& layout, const SettingsEdit& edit,
                                 const ChatboxRestart& restart) {
  CMutexLock lock(g_settingsMutex);
  const fs::path file = platform::OsPath(ChatboxSettingsFile());
  SettingsChange change = PlanChange(file, edit);
  if (!change.needed) return change.result;
  // A running client would write its own settings over ours when it ends,
  // and ending it may cut off an answer: only when the user agrees does it
  // end first, and the file is read again as it left it.
  bool restarting = false;
  if (ChatboxRunsIn(layout.chatboxFolder)) {
    if (!restart || !restart()) return ChatboxConfigResult::kClientRunning;
    if (!StopChatboxIn(layout.chatboxFolder)) return ChatboxConfigResult::kWriteFailed;
    restarting = true;
  }
  change = PlanChange(file, edit);
  if (!change.needed) {
    if (restarting) StartChatbox(layout);
    return change.result;
  }
  const ChatboxConfigResult written = WriteChange(file, change);
  if (restarting) StartChatbox(layout);
  return written;
}

// The numbered backups, as they stand after a rotation, are ours.
void RecordBackups() {
  for (int number = 1; number <= kChatboxSettingsBackups; ++number) {
    const std::wstring backup = ChatboxSettingsBackup(number);
    if (FileExists(backup)) RecordTree(backup, "client-settings");
  }
}

// Before our first change: the user's file as it was, never rotated away.
bool KeepUsersFirstFile(const SettingsChange& change) TW_REQUIRES(g_settingsMutex) {
  if (LoadInstallRecord().FindValue("client-settings", "first") != nullptr) return true;
  const std::wstring first = ChatboxSettingsFirstBackup();
  if (change.existed) {
    if (platform::WriteFileAtomically(platform::OsPath(first), change.original) != 0) return false;
    RecordTree(first, "client-settings");
  }
  return UpdateInstallRecord([&](InstallRecord& record) {
    record.SetValue("client-settings", "first", change.existed ? first : std::wstring());
  });
}

ChatboxConfigResult WriteChange(const fs::path& file, const SettingsChange& change)
    TW_REQUIRES(g_settingsMutex) {
  std::string text;
  if (!WriteJson(change.root, text)) return ChatboxConfigResult::kWriteFailed;
  if (platform::CreatePrivateFolders(file.parent_path()) != 0) {
    return ChatboxConfigResult::kWriteFailed;
  }
  if (!KeepUsersFirstFile(change)) return ChatboxConfigResult::kWriteFailed;
  if (change.existed && !KeepBackup(change.original)) return ChatboxConfigResult::kWriteFailed;
  RecordBackups();
  return platform::WriteFileAtomically(file, text) == 0 ? ChatboxConfigResult::kWritten
                                                        : ChatboxConfigResult::kWriteFailed;
}

}  // namespace

void WriteChatboxSetupKey(const std::wstring& folder) {
  try {
    RegKey key(platform::kCurrentUser, GetAppConstants().chatboxSetupKeyPath);
    key.SetStringValue(L"InstallLocation", folder);
    key.SetStringValue(L"ShortcutName", L"Chatbox");
    key.SetDwordValue(L"InstallForAllUsers", 1);
  } catch (const winreg::RegException&) {
  }
}

void InstallChatbox() { InstallChatbox(CurrentInstallLayout()); }

void InstallChatbox(const InstallLayout& layout) {
  // The setup replaces the folder it installs into: never one of the user's.
  if (ClaimFolder(layout.chatboxFolder, "client") != FolderClaim::Ours) return;
  WriteChatboxSetupKey(layout.chatboxFolder);
  bool installed = false;
  if (!FileExists(layout.chatboxExecutable)) {
    RemoveSetupLeftovers(layout.chatboxFolder);
    UpdateInstallRecord([&](InstallRecord& record) {
      record.SetValue("setup", WideToUtf8(layout.chatboxFolder), L"client");
    });
    RunProcess(layout.chatboxSetup, {L"/S"}, true);
    installed = true;
  }
  // A new AppImage replaces the unpacked copy of an older one.
  if ((installed || !FileExists(layout.chatboxProgram)) && IsAppImage(layout.chatboxExecutable)) {
    UnpackChatbox(layout);
  }
  if (installed || !LoadInstallRecord().IsOurs(layout.chatboxProgram)) {
    RecordTree(layout.chatboxFolder, "client");
  }
}

std::wstring ChatboxSettingsBackup(int number) {
  return ChatboxSettingsFile() + L".before-tidewell-" + std::to_wstring(number);
}

ChatboxConfigResult WriteChatboxConfig(const std::string& tag, const std::string& host,
                                       const ChatboxRestart& restart) {
  return WriteChatboxConfig(CurrentInstallLayout(), tag, host, restart);
}

ChatboxConfigResult WriteChatboxConfig(const InstallLayout& layout, const std::string& tag,
                                       const std::string& host, const ChatboxRestart& restart) {
  // Malformed UTF-8 comes back empty and is refused; nothing past a zero
  // byte reaches the file.
  const std::string model = WideToUtf8(Utf8ToWide(tag));
  if (model.empty() || host.empty()) return ChatboxConfigResult::kWriteFailed;
  SettingsEdit edit;
  edit.fresh = [&] { return NewChatboxSettings(model, host); };
  edit.apply = [&](Json::Value& root) { return MergeChatboxSettings(root, model, host); };
  return EditSettings(layout, edit, restart);
}

ChatboxConfigResult DropModelFromChatboxConfig(const InstallLayout& layout, const std::string& tag,
                                               const std::vector<std::string>& remaining,
                                               const ChatboxRestart& restart) {
  if (tag.empty()) return ChatboxConfigResult::kWriteFailed;
  SettingsEdit edit;  // a missing file names no model: nothing to do
  edit.apply = [&](Json::Value& root) {
    DropChatboxModel(root, tag, remaining);
    return true;
  };
  return EditSettings(layout, edit, restart);
}

std::wstring ChatboxSettingsFirstBackup() { return ChatboxSettingsFile() + L".before-tidewell"; }

bool RestoreUsersChatboxChoice() {
  CMutexLock lock(g_settingsMutex);
  const InstallRecord record = LoadInstallRecord();
  const RecordedValue* first = record.FindValue("client-settings", "first");
  if (first == nullptr) return true;  // never changed by us
  Json::Value original(Json::objectValue);
  std::string bytes;
  if (!first->value.empty() &&
      (ReadSettingsFile(platform::OsPath(first->value), bytes) != FileState::kRead ||
       !ParseJson(bytes, original) || !original.isObject())) {
    return false;
  }
  const fs::path file = platform::OsPath(ChatboxSettingsFile());
  const FileState state = ReadSettingsFile(file, bytes);
  if (state == FileState::kUnusable) return false;
  if (state == FileState::kRead && !bytes.empty()) {
    Json::Value current;
    if (!ParseJson(bytes, current) || !current.isObject()) return false;
    std::vector<std::string> ours;
    for (const ModelEntry& model : ModelCatalogue()) {
      ours.push_back(WideToUtf8(std::wstring(model.tag)));
    }
    RestoreChatboxChoice(current, original, ours);
    std::string text;
    if (!WriteJson(current, text) || platform::WriteFileAtomically(file, text) != 0) return false;
  }
  RemoveRecorded(ChatboxSettingsFirstBackup());
  for (int number = 1; number <= kChatboxSettingsBackups; ++number) {
    RemoveRecorded(ChatboxSettingsBackup(number));
  }
  UpdateInstallRecord([](InstallRecord& r) { r.DropValue("client-settings", "first"); });
  return true;
}

ChatboxConfigResult ListModelInChatboxConfig(const InstallLayout& layout, const std::string& model,
                                             const std::string& host,
                                             const ChatboxRestart& restart) {
  if (model.empty() || host.empty()) return ChatboxConfigResult::kWriteFailed;
  SettingsEdit edit;  // a missing file has no choice of the user's to keep
  edit.apply = [&](Json::Value& root) { return ListChatboxModel(root, model, host); };
  return EditSettings(layout, edit, restart);
}

bool ChatboxConfigListsModel(const std::string& model) {
  Json::Value root;
  return ReadChatboxSettings(root) && ChatboxSettingsListModel(root, model);
}

bool ChatboxConfigChoseOtherModel(const std::vector<std::string>& ours) {
  Json::Value root;
  return ReadChatboxSettings(root) && ChatboxUserChoseOtherModel(root, ours);
}

bool ReadChatboxSettings(Json::Value& root) {
  std::string bytes;
  return ReadSettingsFile(platform::OsPath(ChatboxSettingsFile()), bytes) == FileState::kRead &&
         ParseJson(bytes, root) && root.isObject();
}

bool ChatboxConfigHasModel(const std::string& tag) {
  Json::Value root;
  return ReadChatboxSettings(root) && ChatboxSettingsUseModel(root, tag);
}
