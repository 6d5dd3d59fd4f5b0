#include <tests/fakes/chatbox_package.h>

namespace fake_chatbox {

std::optional<int> RunPackageStart(int, char**) { return std::nullopt; }

// The Windows build keeps its sandbox without user namespaces.
void CheckSandbox(int, char**) {}

}  // namespace fake_chatbox
