#include "user_sandbox.h"

#include <filesystem>
#include <fstream>

#include <platform/known_folders.h>
#include <platform/os_encoding.h>

#include "temp_home.h"

namespace fs = std::filesystem;

struct UserSandbox::State {
  TempHome home;
};

UserSandbox::UserSandbox() : state_(std::make_unique<State>()) {}
UserSandbox::~UserSandbox() = default;

void RemoveUserKeyStore() {
  fs::remove_all(platform::OsPath(platform::RoamingAppDataFolder()) / "Tidewell" / "registry");
}

// A file where the environment's folder should be.
void BlockUserEnvironment() {
  const fs::path folder = platform::OsPath(platform::RoamingAppDataFolder()) / "environment.d";
  fs::remove_all(folder);
  std::ofstream(folder) << "in the way";
}
