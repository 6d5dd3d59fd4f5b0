#include <install/update_journal.h>

#include <algorithm>
#include <array>
#include <filesystem>

#include <base/package_version.h>
#include <base/text_helpers.h>
#include <install/chatbox_process.h>
#include <install/install_record.h>
#include <install/owned_files.h>
#include <install/program_stop.h>
#include <install/runner_server.h>
#include <platform/file_move.h>
#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>

namespace {

constexpr char kKind[] = "update";
constexpr char kPackageKind[] = "package";
constexpr int kRunnerStopTimeoutMs = 5000;

constexpr std::array<std::pair<UpdateStage, const wchar_t*>, 4> kStageNames = {{
    {UpdateStage::SetAside, L"set-aside"},
    {UpdateStage::Install, L"install"},
    {UpdateStage::Finish, L"finish"},
    {UpdateStage::Restore, L"restore"},
}};

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  return folder + platform::PathSeparator() + name;
}

std::wstring Leaf(const std::wstring& path) {
  return platform::WidePath(platform::OsPath(path).filename());
}

// What an update replaces: the unpacked package (its setups), the runner
// and the chat client. The model store and the client's own settings
// folder are never among them.
std::array<std::wstring, 3> ReplacedFolders(const InstallLayout& layout) {
  return {layout.unpackFolder, layout.ollamaFolder, layout.chatboxFolder};
}

bool Below(const std::wstring& path, const std::wstring& folder) {
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == platform::PathSeparator());
}

// The record's entries below from whose objects now stand at the same place
// below to (the same volume and number) move there with them. Led by what
// is on disk, it is right whether a move was recorded before a power cut or
// not.
void FollowMove(const std::wstring& from, const std::wstring& to) {
  UpdateInstallRecord([&](InstallRecord& record) {
    std::vector<std::pair<std::size_t, std::wstring>> moved;
    for (std::size_t i = 0; i < record.objects.size(); ++i) {
      const RecordedObject& object = record.objects[i];
      if (!Below(object.path, from)) continue;
      const std::wstring there = to + object.path.substr(from.size());
      const auto now = platform::IdentityAt(there);
      if (now && now->kind != platform::ObjectKind::Missing && *now == object.identity) {
        moved.emplace_back(i, there);
      }
    }
    for (const auto& [index, there] : moved) record.objects[index].path = there;
    // An older entry at a new place is gone: the moved object stands there.
    auto& objects = record.objects;
    for (std::size_t i = objects.size(); i-- > 0;) {
      const bool stale =
          std::any_of(moved.begin(), moved.end(), [&](const auto& m) {
            return m.second == objects[i].path && m.first != i;
          });
      if (stale) objects.erase(objects.begin() + static_cast<std::ptrdiff_t>(i));
    }
  });
}

bool Exists(const std::wstring& path) {
  const auto identity = platform::IdentityAt(path);
  return !identity || identity->kind != platform::ObjectKind::Missing;
}

// A move within the install folder: one rename, never over something there.
bool Move(const std::wstring& from, const std::wstring& to) {
  if (platform::MoveFileNoReplace(platform::OsPath(from), platform::OsPath(to)) != 0) return false;
  FollowMove(from, to);
  return true;
}

// Our runner server, every program running from the runner folder and our
// chat client: none may hold a file that is moved or removed.
bool StopPrograms(const InstallLayout& layout) {
  StopStartedRunnerServer();
  const bool runner = EndProgramsIn(platform::OsPath(layout.ollamaFolder), kRunnerStopTimeoutMs);
  return StopChatboxIn(layout.chatboxFolder) && runner;
}

void DropStage() {
  UpdateInstallRecord([](InstallRecord& record) {
    for (const char* name : {"stage", "version", "folder"}) record.DropValue(kKind, name);
  });
}

}  // namespace

UpdateStage PendingUpdateStage() {
  const InstallRecord record = LoadInstallRecord();
  const RecordedValue* stage = record.FindValue(kKind, "stage");
  if (stage == nullptr) return UpdateStage::None;
  for (const auto& [value, name] : kStageNames) {
    if (stage->value == name) return value;
  }
  // A stage this program does not know: the old programs are put back.
  return UpdateStage::Restore;
}

std::string PendingUpdateVersion() {
  const InstallRecord record = LoadInstallRecord();
  const RecordedValue* version = record.FindValue(kKind, "version");
  return version != nullptr ? WideToUtf8(version->value) : std::string();
}

InstallLayout PendingUpdateLayout() {
  const InstallRecord record = LoadInstallRecord();
  const RecordedValue* folder = record.FindValue(kKind, "folder");
  return MakeInstallLayout(folder != nullptr ? folder->value : std::wstring());
}

bool SetUpdateStage(UpdateStage stage, const std::string& version, const InstallLayout& layout) {
  const auto found = std::find_if(kStageNames.begin(), kStageNames.end(),
                                  [stage](const auto& entry) { return entry.first == stage; });
  if (found == kStageNames.end()) {
    DropStage();
    return true;
  }
  return UpdateInstallRecord([&](InstallRecord& record) {
    record.SetValue(kKind, "stage", found->second);
    record.SetValue(kKind, "version", Utf8ToWide(version));
    record.SetValue(kKind, "folder", layout.installFolder);
  });
}

std::wstring SetAsideFolder(const InstallLayout& layout) {
  return Join(layout.installFolder, L"update_previous");
}

bool SetAsideOldPrograms(const InstallLayout& layout) {
  const std::wstring aside = SetAsideFolder(layout);
  // What an earlier update could not remove of its old programs.
  RemoveRecorded(aside);
  if (ClaimFolder(aside, "update") != FolderClaim::Ours) return false;
  // The old programs wait there for no one else.
  std::error_code ec;
  std::filesystem::permissions(platform::OsPath(aside), std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace, ec);
  for (const std::wstring& folder : ReplacedFolders(layout)) {
    if (!Exists(folder)) continue;
    // Only what the record says we made is moved: anything else there
    // stays where the user put it.
    if (!LoadInstallRecord().IsOurs(folder)) return false;
    if (!Move(folder, Join(aside, Leaf(folder)))) return false;
  }
  return true;
}

bool RestoreOldPrograms(const InstallLayout& layout, std::vector<std::wstring>* left) {
  const std::wstring aside = SetAsideFolder(layout);
  bool restored = StopPrograms(layout);
  for (const std::wstring& folder : ReplacedFolders(layout)) {
    const std::wstring old = Join(aside, Leaf(folder));
    // Either side of a move a power cut interrupted.
    FollowMove(folder, old);
    FollowMove(old, folder);
    if (!Exists(old)) continue;  // never set aside, or back already
    RemoveSetupLeftovers(folder);
    const Removal removal = RemoveRecorded(folder);
    if (Exists(folder) || !Move(old, folder)) {
      restored = false;
      if (left != nullptr) left->insert(left->end(), removal.left.begin(), removal.left.end());
    }
  }
  if (!restored) return false;
  const Removal rest = RemoveRecorded(aside);
  if (left != nullptr) left->insert(left->end(), rest.left.begin(), rest.left.end());
  DropStage();
  return true;
}

bool FinishUpdate(const InstallLayout& layout, const std::string& version,
                  std::vector<std::wstring>* left) {
  const Removal removal = RemoveRecorded(SetAsideFolder(layout));
  if (left != nullptr) left->insert(left->end(), removal.left.begin(), removal.left.end());
  // The new programs answered: that stands whatever of the old stays (a
  // file the user put there, one in use), and the next update takes back
  // what is ours of it first.
  RecordPackageVersion(IsPackageVersion(version) ? version : std::string());
  DropStage();
  return removal.ok && removal.left.empty();
}

std::string InstalledPackageVersion(bool* found) {
  const InstallRecord record = LoadInstallRecord();
  const RecordedValue* version = record.FindValue(kPackageKind, "version");
  if (found != nullptr) *found = version != nullptr;
  return version != nullptr ? WideToUtf8(version->value) : std::string();
}

void RecordPackageVersion(const std::string& version) {
  UpdateInstallRecord(
      [&](InstallRecord& record) { record.SetValue(kPackageKind, "version", Utf8ToWide(version)); });
}
