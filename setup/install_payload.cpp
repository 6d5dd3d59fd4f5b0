#include <setup/install_payload.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <package/path_beneath.h>
#include <package/zip_reader.h>
#include <platform/file_handle.h>
#include <platform/folder_steps.h>
#include <platform/os_encoding.h>
#include <platform/random_bytes.h>
#include <setup/payload_links.h>

namespace fs = std::filesystem;
using platform::FileHandle;

namespace setup {

namespace {

// Zip entries keep the Unix file type in the top bits of their mode.
constexpr std::uint32_t kTypeMask = 0170000;
constexpr std::uint32_t kTypeLink = 0120000;
// The longest link target a payload may carry (Linux's PATH_MAX).
constexpr std::uint64_t kMaxLinkTarget = 4096;

// A path's last step as the folder steps take names: UTF-8 on Windows, the
// bytes themselves here.
std::string StepOf(const fs::path& path) {
  const std::u8string name = path.filename().u8string();
  return {reinterpret_cast<const char*>(name.data()), name.size()};
}

fs::path PathOfStep(const std::string& step) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(step.data()), step.size()));
}

// ".<target>.<purpose>-<random>": beside target, unguessable, hidden.
std::string SiblingName(const std::string& leaf, const char* purpose) {
  unsigned char random[8];
  if (!platform::RandomBytes(random, sizeof random)) return {};
  std::string name = "." + leaf + "." + purpose + "-";
  for (const unsigned char byte : random) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", byte);
    name += hex;
  }
  return name;
}

std::string ErrorText(int error) { return std::strerror(error); }

struct PendingLink {
  std::string name;
  std::string target;
};

// A link entry's target: its data, of a length a path can have.
bool ReadLinkTarget(HZIP archive, const ZipEntry& entry, const std::string& name,
                    std::string* target, std::string* reason) {
  if (entry.uncompressedSize == 0 || entry.uncompressedSize >= kMaxLinkTarget) {
    *reason = "the link \"" + name + "\" has no usable target";
    return false;
  }
  target->assign(static_cast<std::size_t>(entry.uncompressedSize), '\0');
  if (ZipExtractItem(archive, entry.index, target->data(),
                     static_cast<std::uint32_t>(target->size()), ZIP_MEMORY) != ZR_OK) {
    *reason = "reading the link \"" + name + "\" failed";
    return false;
  }
  return true;
}

// Links come last, each checked first: no file entry is ever written
// through one, and a link standing where another entry needs a folder
// fails rather than being replaced. Their folders are all made before the
// first link, so a link named like one of them fails too.
bool MakeLinks(const fs::path& folder, const std::vector<PendingLink>& links, std::string* reason) {
  if (links.empty()) return true;
  const FileHandle root(platform::OpenFolderNotLink(folder));
  if (!root.valid()) {
    *reason = "cannot open the unpacked folder: " + ErrorText(errno);
    return false;
  }
  for (const PendingLink& link : links) {
    const std::size_t slash = link.name.rfind('/');
    if (slash == std::string::npos) continue;
    const FileHandle made(OpenFolderBeneath(root.get(), link.name.substr(0, slash)));
    if (!made.valid()) {
      *reason = "cannot make the folder of the link \"" + link.name + "\"";
      return false;
    }
  }
  for (const PendingLink& link : links) {
    if (!setup::MakeLinkBeneath(root.get(), link.name, link.target, reason)) return false;
  }
  return true;
}

bool Unpack(const std::uint8_t* zip, std::size_t size, const fs::path& folder,
            std::string* reason) {
  HZIP archive = ZipOpenMemory(zip, size, nullptr, platform::WidePath(folder));
  if (archive == nullptr) {
    *reason = "the payload is not a readable zip archive";
    return false;
  }
  ZipEntry entry;
  ZipItemInfo(archive, -1, &entry);
  const int count = entry.index;
  bool ok = count > 0;
  if (!ok) *reason = "the payload is empty";
  std::vector<PendingLink> links;
  for (int i = 0; ok && i < count; ++i) {
    ZRESULT result = ZipItemInfo(archive, i, &entry);
    if (result == ZR_OK && (entry.unixMode & kTypeMask) == kTypeLink) {
      PendingLink link{platform::WideToOsNarrow(entry.name), {}};
      ok = !link.name.empty() && link.name.back() != '/';
      if (!ok) *reason = "a link entry has no usable name";
      ok = ok && ReadLinkTarget(archive, entry, link.name, &link.target, reason) &&
           setup::LinkTargetStaysInside(link.name, link.target, reason);
      if (ok) links.push_back(std::move(link));
      continue;
    }
    if (result == ZR_OK) result = ZipExtractItemToFile(archive, i, entry.name);
    if (result != ZR_OK) {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08x", result);
      *reason = "unpacking \"" + platform::WideToOsNarrow(entry.name) + "\" failed (" + code + ")";
      ok = false;
    }
  }
  ZipClose(archive);
  return ok && MakeLinks(folder, links, reason);
}

// Renames from to to in parent, never over anything standing there.
int RenameNoReplace(platform::NativeFile parent, const std::string& from, const std::string& to) {
  const int error = platform::RenameIn(parent, from, to, platform::RenameMode::NoReplace);
  if (error != EINVAL && error != ENOSYS) return error;
  // Without the mode, a plain rename: a folder replaces at most an empty one.
  return platform::RenameIn(parent, from, to, platform::RenameMode::Replace);
}

// Puts staged in leaf's place, both in parent. On success *old names what
// stood at leaf before (empty when nothing did).
bool SwapIn(platform::NativeFile parent, const std::string& staged, const std::string& leaf,
            std::string* old, std::string* reason) {
  const int first = RenameNoReplace(parent, staged, leaf);
  if (first == 0) return true;
  // One atomic exchange where the file system offers it.
  if (platform::RenameIn(parent, staged, leaf, platform::RenameMode::Exchange) == 0) {
    *old = staged;
    return true;
  }
  // Otherwise two renames: the older install moves aside first.
  const std::string aside = SiblingName(leaf, "old");
  int error = aside.empty() ? EIO : RenameNoReplace(parent, leaf, aside);
  if (error == ENOENT) {  // nothing stood there: the first rename's failure counts
    *reason = "cannot put the install in place: " + ErrorText(first);
    return false;
  }
  if (error != 0) {
    *reason = "cannot move the older install aside: " + ErrorText(error);
    return false;
  }
  error = RenameNoReplace(parent, staged, leaf);
  if (error != 0) {
    *reason = "cannot put the install in place: " + ErrorText(error);
    RenameNoReplace(parent, aside, leaf);
    return false;
  }
  *old = aside;
  return true;
}

}  // namespace

bool InstallPayload(const std::uint8_t* zip, std::size_t size, const fs::path& target,
                    std::string* reason) {
  std::error_code ec;
  fs::create_directories(target.parent_path(), ec);
  const FileHandle parent(platform::OpenFolder(target.parent_path()));
  const std::string leaf = StepOf(target);
  const std::string staged = SiblingName(leaf, "setup");
  const int error = !parent.valid()  ? errno
                    : staged.empty() ? EIO
                                     : platform::MakeFolderIn(parent.get(), staged, 0700);
  if (error != 0) {
    *reason = "cannot make a folder beside " +
              platform::WideToOsNarrow(platform::WidePath(target)) + ": " + ErrorText(error);
    return false;
  }
  std::string old;
  if (!Unpack(zip, size, target.parent_path() / PathOfStep(staged), reason) ||
      !SwapIn(parent.get(), staged, leaf, &old, reason)) {
    platform::RemoveTreeBeneath(parent.get(), staged);
    return false;
  }
  if (!old.empty()) platform::RemoveTreeBeneath(parent.get(), old);
  return true;
}

}  // namespace setup
