#include <install/owned_files.h>

#include <filesystem>
#include <set>

#include <base/text_helpers.h>
#include <base/translate.h>
#include <install/install_record.h>
#include <platform/folder_ownership.h>
#include <platform/os_encoding.h>
#include <platform/tree_removal.h>

namespace {

namespace fs = std::filesystem;
using platform::ObjectIdentity;
using platform::ObjectKind;

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  return folder + platform::PathSeparator() + name;
}

std::wstring ParentOf(const std::wstring& path) {
  return platform::WidePath(platform::OsPath(path).parent_path());
}

// The names in a folder that lstat found to be a folder. The folder is ours
// and not writable by others (the install folder is checked so), so it
// cannot be swapped for a link between that look and this listing.
std::vector<std::wstring> NamesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code ec;
  for (fs::directory_iterator it(platform::OsPath(folder), ec), end; !ec && it != end;
       it.increment(ec)) {
    names.push_back(platform::WidePath(it->path().filename()));
  }
  return names;
}

// Everything at and below path (links and other file systems not entered),
// as it stands now.
void Collect(const std::wstring& path, std::uint64_t device,
             std::vector<std::pair<std::wstring, ObjectIdentity>>& out) {
  const auto identity = platform::IdentityAt(path);
  if (!identity || identity->kind == ObjectKind::Missing) return;
  out.emplace_back(path, *identity);
  if (identity->kind != ObjectKind::Folder || identity->device != device) return;
  for (const std::wstring& name : NamesIn(path)) Collect(Join(path, name), device, out);
}

// Takes back path and what is below it; true when nothing is left of it.
bool RemoveAt(const std::wstring& path, std::uint64_t device, const InstallRecord& record,
              Removal& removal, std::vector<std::wstring>& gone) {
  const auto identity = platform::IdentityAt(path);
  if (identity && identity->kind == ObjectKind::Missing) return true;
  const RecordedObject* entry = record.Find(path);
  const bool same = identity && entry != nullptr && entry->identity == *identity;
  // Another file system mounted in ours is never entered.
  if (!identity || !same || identity->device != device) {
    removal.left.push_back(path);
    return false;
  }
  if (identity->kind == ObjectKind::Folder) {
    bool empty = true;
    for (const std::wstring& name : NamesIn(path)) {
      empty = RemoveAt(Join(path, name), device, record, removal, gone) && empty;
    }
    // An adopted folder stays, with whatever it held before us.
    if (entry->adopted) return false;
    if (!empty) return false;
    if (!platform::RemoveEmptyFolder(platform::OsPath(path))) {
      removal.left.push_back(path);
      removal.ok = false;
      return false;
    }
  } else {
    if (entry->adopted) return false;
    std::error_code ec;
    fs::remove(platform::OsPath(path), ec);  // a link goes itself, never what it names
    if (ec) {
      removal.left.push_back(path);
      removal.ok = false;
      return false;
    }
  }
  gone.push_back(path);
  removal.removedAnything = true;
  return true;
}

bool IsHexName(const std::wstring& text, std::size_t digits) {
  if (text.size() != digits) return false;
  for (const wchar_t c : text) {
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return false;
  }
  return true;
}

}  // namespace

FolderClaim ClaimFolder(const std::wstring& path, const std::string& step,
                        const std::function<bool(const std::wstring&)>& adoptable) {
  const auto identity = platform::IdentityAt(path);
  if (!identity) return FolderClaim::NotOurs;
  if (identity->kind != ObjectKind::Missing) {
    const InstallRecord record = LoadInstallRecord();
    if (record.MayUse(path) && identity->kind == ObjectKind::Folder) {
      return record.IsOurs(path) ? FolderClaim::Ours : FolderClaim::Adopted;
    }
    if (identity->kind != ObjectKind::Folder || !adoptable || !adoptable(path)) {
      return FolderClaim::NotOurs;
    }
    // What it holds now was there before us, and stays ours to keep.
    std::vector<std::pair<std::wstring, ObjectIdentity>> found;
    Collect(path, identity->device, found);
    UpdateInstallRecord([&](InstallRecord& r) {
      for (const auto& [each, id] : found) r.Add(each, id, true, step);
    });
    return FolderClaim::Adopted;
  }
  // The missing parents first, each recorded as it is made.
  const std::wstring parent = ParentOf(path);
  if (!parent.empty() && parent != path) {
    const auto above = platform::IdentityAt(parent);
    if (above && above->kind == ObjectKind::Missing &&
        ClaimFolder(parent, step) == FolderClaim::Failed) {
      return FolderClaim::Failed;
    }
  }
  std::error_code ec;
  if (!fs::create_directory(platform::OsPath(path), ec) || ec) return FolderClaim::Failed;
  const auto made = platform::IdentityAt(path);
  if (!made || made->kind != ObjectKind::Folder) return FolderClaim::Failed;
  UpdateInstallRecord([&](InstallRecord& r) { r.Add(path, *made, false, step); });
  return FolderClaim::Ours;
}

void RecordTree(const std::wstring& path, const std::string& step) {
  const auto identity = platform::IdentityAt(path);
  if (!identity) return;
  std::vector<std::pair<std::wstring, ObjectIdentity>> found;
  Collect(path, identity->device, found);
  const std::wstring prefix = path + platform::PathSeparator();
  UpdateInstallRecord([&](InstallRecord& record) {
    // Entries of an earlier version of the tree that are gone now.
    std::set<std::wstring> present;
    for (const auto& [each, id] : found) present.insert(each);
    std::erase_if(record.objects, [&](const RecordedObject& object) {
      return (object.path == path || object.path.rfind(prefix, 0) == 0) &&
             present.count(object.path) == 0;
    });
    for (const auto& [each, id] : found) {
      const RecordedObject* known = record.Find(each);
      if (known != nullptr && known->adopted) continue;
      record.Add(each, id, false, step);
    }
  });
}

void RecordAddedIn(const std::wstring& folder, const std::string& step) {
  if (LoadInstallRecord().MayUse(folder)) RecordTree(folder, step);
}

Removal RemoveRecorded(const std::wstring& path) {
  Removal removal;
  const InstallRecord record = LoadInstallRecord();
  const auto identity = platform::IdentityAt(path);
  if (!identity) {
    removal.ok = false;
    removal.left.push_back(path);
    return removal;
  }
  if (identity->kind == ObjectKind::Missing) return removal;
  std::vector<std::wstring> gone;
  RemoveAt(path, identity->device, record, removal, gone);
  UpdateInstallRecord([&](InstallRecord& r) {
    for (const std::wstring& each : gone) r.Forget(each);
  });
  return removal;
}

bool IsRunnerStoreLayout(const std::wstring& path) {
  if (!platform::IsFolderOurOwn(path)) return false;
  for (const std::wstring& name : NamesIn(path)) {
    const auto identity = platform::IdentityAt(Join(path, name));
    if ((name != L"blobs" && name != L"manifests") || !identity ||
        identity->kind != ObjectKind::Folder) {
      return false;
    }
  }
  return true;
}

std::vector<std::wstring> ForeignFoldersIn(const InstallLayout& layout) {
  std::vector<std::wstring> foreign;
  const InstallRecord record = LoadInstallRecord();
  for (const std::wstring& folder :
       {layout.unpackFolder, layout.ollamaFolder, layout.modelStore, layout.chatboxFolder}) {
    const auto identity = platform::IdentityAt(folder);
    if (identity && identity->kind == ObjectKind::Missing) continue;
    if (identity && identity->kind == ObjectKind::Folder && record.MayUse(folder)) continue;
    if (folder == layout.modelStore && identity && identity->kind == ObjectKind::Folder &&
        IsRunnerStoreLayout(folder)) {
      continue;
    }
    foreign.push_back(platform::WidePath(platform::OsPath(folder).filename()));
  }
  return foreign;
}

std::wstring ForeignFolderText(const std::wstring& installFolder, const std::wstring& name) {
  return FormatWString(TW_TR("OwnedFiles",
                             "安装位置 %ls 中已有不是本程序创建的文件夹 %ls。为免改动您的文件，"
                             "安装没有进行。请选择其他安装位置，或将这个文件夹移到别处后再安装。")
                           .c_str(),
                       installFolder.c_str(), name.c_str());
}

void RemoveSetupLeftovers(const std::wstring& target) {
  const InstallRecord record = LoadInstallRecord();
  if (record.FindValue("setup", WideToUtf8(target)) == nullptr) return;
  const std::wstring parent = ParentOf(target);
  const std::wstring leaf = platform::WidePath(platform::OsPath(target).filename());
  for (const std::wstring& name : NamesIn(parent)) {
    for (const std::wstring purpose : {L".setup-", L".old-"}) {
      const std::wstring start = L"." + leaf + purpose;
      if (name.rfind(start, 0) == 0 && IsHexName(name.substr(start.size()), 16)) {
        platform::RemoveTree(platform::OsPath(Join(parent, name)));
      }
    }
  }
}
