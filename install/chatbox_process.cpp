#include <install/chatbox_process.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string_view>

#include <base/file_helpers.h>
#include <install/chatbox_install_location.h>
#include <install/program_stop.h>
#include <platform/os_encoding.h>
#include <platform/process.h>
#include <platform/process_lookup.h>
#include <platform/thread_annotations.h>
#include <platform/user_namespaces.h>

namespace {

namespace fs = std::filesystem;

CMutex g_mutex;  // the started client and one stop at a time
// Held while the client may run: an unreaped child keeps its id, so the id
// we signal can never be another program's.
std::unique_ptr<platform::ChildProcess> g_started TW_GUARDED_BY(g_mutex);
SandboxCheck g_sandboxCheck TW_GUARDED_BY(g_mutex) = &platform::UserNamespaceRestriction;

std::string OsString(const std::wstring& text) { return platform::WideToOsNarrow(text); }

// A new private folder with an unguessable name inside parent (same file
// system, so what is made there can be renamed into place).
std::optional<fs::path> MakePrivateFolderIn(const fs::path& parent) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const fs::path folder =
        parent / (".unpacking-" + std::to_string(random()) + std::to_string(random()));
    std::error_code ec;
    if (!fs::create_directory(folder, ec)) continue;  // taken, or no room
    fs::permissions(folder, fs::perms::owner_all, ec);
    if (!ec) return folder;
    fs::remove(folder, ec);
  }
  return std::nullopt;
}

}  // namespace

bool IsAppImage(const std::wstring& path) {
  std::ifstream in(platform::OsPath(path), std::ios::binary);
  char head[11] = {};
  if (!in.read(head, sizeof head)) return false;
  return std::string_view(head, 4) ==
             "\x7f"
             "ELF" &&
         std::string_view(head + 8, 3) == "AI\x02";
}

bool UnpackChatbox(const InstallLayout& layout) {
  if (!IsAppImage(layout.chatboxExecutable)) return false;
  const fs::path folder = platform::OsPath(layout.chatboxFolder);
  const auto work = MakePrivateFolderIn(folder);
  if (!work) return false;
  // The AppImage unpacks into "squashfs-root" in its working folder and
  // lists every file it writes: that list goes to a file left with the rest.
  platform::StartOptions options;
  options.workingDirectory = work->string();
  options.outputFile = (*work / "unpack.log").string();
  auto child =
      platform::StartProcess({OsString(layout.chatboxExecutable), "--appimage-extract"}, options);
  const bool unpacked = child != nullptr && child->Wait() == 0;
  const fs::path fresh = *work / "squashfs-root";
  const fs::path target = platform::OsPath(layout.chatboxAppFolder);
  std::error_code ec;
  if (unpacked && fs::is_regular_file(fresh / "AppRun", ec)) {
    // The older copy moves aside first, so the new one takes its name in
    // one rename; the older one goes with the working folder.
    if (fs::exists(fs::symlink_status(target, ec))) fs::rename(target, *work / "older", ec);
    fs::rename(fresh, target, ec);
  }
  fs::remove_all(*work, ec);
  return FileExists(layout.chatboxProgram);
}

std::wstring ChatboxProgramPath(const InstallLayout& layout) {
  if (FileExists(layout.chatboxProgram)) return layout.chatboxProgram;
  if (FileExists(layout.chatboxExecutable)) return layout.chatboxExecutable;
  // The client's setup may have kept a folder of an earlier install of its
  // own (a per-machine one, say): its uninstall entry says where it went.
  const std::wstring elsewhere = ChatboxProgramAtInstallLocation();
  if (!elsewhere.empty() && FileExists(elsewhere)) return elsewhere;
  return layout.chatboxExecutable;
}

std::vector<std::string> ChatboxArguments(const std::string& sandboxRestriction) {
  if (sandboxRestriction.empty()) return {};
  return {"--no-sandbox"};
}

bool StartChatbox(const InstallLayout& layout) {
  if (!FileExists(layout.chatboxProgram) && IsAppImage(layout.chatboxExecutable)) {
    UnpackChatbox(layout);
  }
  const std::wstring program = ChatboxProgramPath(layout);
  if (!FileExists(program)) return false;
  std::vector<std::string> argv{OsString(program)};
  std::string restriction;
  {
    CMutexLock lock(g_mutex);
    restriction = g_sandboxCheck != nullptr ? g_sandboxCheck() : std::string();
  }
  if (!restriction.empty()) {
    std::cerr << "Starting Chatbox with --no-sandbox: unprivileged user namespaces are restricted ("
              << restriction << ")" << std::endl;
  }
  for (std::string& argument : ChatboxArguments(restriction)) argv.push_back(std::move(argument));
  platform::StartOptions options;
  options.detached = true;
  auto child = platform::StartProcess(argv, options);
  if (child == nullptr) return false;
  CMutexLock lock(g_mutex);
  // A copy already running stays findable by its folder; the client itself
  // lets only one instance live.
  g_started = std::move(child);
  return true;
}

bool StopChatboxIn(const std::wstring& chatboxFolder, int timeoutMs) {
  CMutexLock lock(g_mutex);
  // Still ours while it runs: an unreaped child keeps its id.
  platform::ChildProcess* child = g_started.get();
  const auto started = [child]() -> std::optional<long> {
    if (child == nullptr || child->HasExited()) return std::nullopt;
    return child->Id();
  };
  if (!EndProgramsIn(platform::OsPath(chatboxFolder), timeoutMs, started)) return false;
  g_started.reset();
  return true;
}

bool ChatboxRunsIn(const std::wstring& chatboxFolder) {
  CMutexLock lock(g_mutex);
  if (g_started && !g_started->HasExited()) return true;
  return !chatboxFolder.empty() &&
         !platform::FindProcessesInFolder(platform::OsPath(chatboxFolder)).empty();
}

SandboxCheck SetChatboxSandboxCheck(SandboxCheck check) {
  CMutexLock lock(g_mutex);
  const SandboxCheck previous = g_sandboxCheck;
  g_sandboxCheck = check;
  return previous;
}
