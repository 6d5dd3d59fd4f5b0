// The Linux setup program: one program, shipped once per outside program,
// each copy carrying its payload (see payload_trailer.h).
//
//   tidewell_setup /silent /dir=FOLDER   installs the payload into FOLDER
//   tidewell_setup /S                    installs it into the folder named by
//                                        the client setup key's InstallLocation
//
// Exit codes: 0 installed, 1 failed (the folder is left as it was), 2 usage.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <platform/os_encoding.h>
#include <setup/install_payload.h>
#include <setup/payload_trailer.h>

namespace fs = std::filesystem;

namespace {

int Usage(const char* problem) {
  std::fprintf(stderr,
               "tidewell_setup: %s\n"
               "usage: tidewell_setup /silent /dir=FOLDER\n"
               "       tidewell_setup /S\n",
               problem);
  return 2;
}

int Fail(const std::string& reason) {
  std::fprintf(stderr, "tidewell_setup: %s\n", reason.c_str());
  return 1;
}

// The client setup's install folder from the per-user key store.
bool ReadInstallLocation(fs::path* folder, std::string* reason) {
  // Opening through RegKey would create a missing key: look first.
  platform::KeyHandle probe = 0;
  if (platform::OpenKey(platform::kCurrentUser, GetAppConstants().chatboxSetupKeyPath.c_str(),
                        platform::kKeyRead, &probe) != platform::kSuccess) {
    *reason = "cannot read InstallLocation: the setup key is missing";
    return false;
  }
  platform::CloseKey(probe);
  try {
    RegKey key;
    key.Create(platform::kCurrentUser, GetAppConstants().chatboxSetupKeyPath.c_str(),
               platform::kKeyRead);
    const std::wstring location = key.GetStringValue(L"InstallLocation");
    if (location.empty()) {
      *reason = "the value InstallLocation is empty";
      return false;
    }
    *folder = platform::OsPath(location);
    return true;
  } catch (const winreg::RegException& e) {
    *reason = std::string("cannot read InstallLocation: ") + e.what();
    return false;
  }
}

// Our own file, mapped read-only; the mapping lives until the process ends.
bool MapOwnFile(const std::uint8_t** data, std::size_t* size, std::string* reason) {
  const int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size <= 0) {
    *reason = "cannot read the setup program's own file";
    if (fd >= 0) ::close(fd);
    return false;
  }
  void* map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) {
    *reason = "cannot map the setup program's own file";
    return false;
  }
  *data = static_cast<const std::uint8_t*>(map);
  *size = static_cast<std::size_t>(st.st_size);
  return true;
}

// "/x/y/" and "/x/y" name the same folder; the swap needs its last part.
fs::path CleanTarget(const fs::path& folder) {
  fs::path clean = fs::absolute(folder).lexically_normal();
  if (clean.filename().empty()) clean = clean.parent_path();
  return clean;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  fs::path target;
  std::string reason;
  if (args.size() == 1 && args[0] == "/S") {
    if (!ReadInstallLocation(&target, &reason)) return Fail(reason);
  } else if (args.size() == 2 && args[0] == "/silent" && args[1].starts_with("/dir=")) {
    const std::string_view dir = args[1].substr(5);
    if (dir.empty()) return Usage("/dir= needs a folder");
    target = fs::path(dir);
  } else {
    return Usage(args.empty() ? "no mode given" : "unknown arguments");
  }
  target = CleanTarget(target);
  if (target.filename().empty() || target == target.root_path()) {
    return Fail("refusing to install into " + target.string());
  }

  const std::uint8_t* file = nullptr;
  std::size_t fileSize = 0;
  setup::PayloadSlice slice;
  if (!MapOwnFile(&file, &fileSize, &reason) ||
      !setup::FindPayload(file, fileSize, &slice, &reason)) {
    return Fail(reason);
  }
  if (!setup::InstallPayload(file + slice.offset, static_cast<std::size_t>(slice.size), target,
                             &reason)) {
    return Fail(reason);
  }
  return 0;
}
