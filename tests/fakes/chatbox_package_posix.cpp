#include <tests/fakes/chatbox_package.h>

#include <tests/fakes/chatbox_appimage.h>

namespace fake_chatbox {

std::optional<int> RunPackageStart(int argc, char** argv) {
  if (IsAppImageName(argv[0])) return RunAppImage(argc, argv);
  return std::nullopt;
}

void CheckSandbox(int argc, char** argv) { EnforceSandbox(argc, argv); }

}  // namespace fake_chatbox
