// Our setup program: one program, shipped once per outside program, each
// copy carrying its payload (see payload_trailer.h). On Linux it is the
// setup the package carries; on Windows it stands in for the vendors' own
// in tests, with their switches.
//
//   tidewell_setup /silent /dir=FOLDER   installs the payload into FOLDER
//                                        (the runner's Inno Setup switches,
//                                        in any letter case as there)
//   tidewell_setup /S                    installs it into the folder named by
//                                        the client setup key's InstallLocation
//
// Exit codes: 0 installed, 1 failed (the folder is left as it was), 2 usage.
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <platform/os_encoding.h>
#include <platform/own_program.h>
#include <platform/program_arguments.h>
#include <platform/scratch_user_root.h>
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

// Inno Setup compares its switches without regard to letter case.
bool SameSwitch(std::wstring_view given, std::wstring_view wanted) {
  if (given.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < given.size(); ++i) {
    if (std::towlower(static_cast<wint_t>(given[i])) != static_cast<wint_t>(wanted[i])) {
      return false;
    }
  }
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
  platform::FollowScratchUserRoot();
  const std::vector<std::wstring> args = platform::ProgramArguments(argc, argv);
  fs::path target;
  std::string reason;
  if (args.size() == 1 && args[0] == L"/S") {
    if (!ReadInstallLocation(&target, &reason)) return Fail(reason);
  } else if (args.size() == 2 && SameSwitch(args[0], L"/silent") &&
             SameSwitch(std::wstring_view(args[1]).substr(0, 5), L"/dir=")) {
    const std::wstring_view dir = std::wstring_view(args[1]).substr(5);
    if (dir.empty()) return Usage("/dir= needs a folder");
    target = platform::OsPath(dir);
  } else {
    return Usage(args.empty() ? "no mode given" : "unknown arguments");
  }
  target = CleanTarget(target);
  if (target.filename().empty() || target == target.root_path()) {
    return Fail("refusing to install into " + platform::WideToOsNarrow(platform::WidePath(target)));
  }

  const std::uint8_t* file = nullptr;
  std::size_t fileSize = 0;
  setup::PayloadSlice slice;
  if (!platform::MapOwnProgramFile(&file, &fileSize, &reason) ||
      !setup::FindPayload(file, fileSize, &slice, &reason)) {
    return Fail(reason);
  }
  if (!setup::InstallPayload(file + slice.offset, static_cast<std::size_t>(slice.size), target,
                             &reason)) {
    return Fail(reason);
  }
  return 0;
}
