// Windows has no user namespaces to refuse: Chromium's sandbox uses its
// own means there.
#include <platform/user_namespaces.h>

namespace platform {

std::string UserNamespaceRestriction() { return {}; }

std::string UserNamespaceRestrictionIn(const std::filesystem::path&) { return {}; }

}  // namespace platform
