#include <platform/scratch_user_root.h>

namespace platform {

// The key store lives below HOME, which the child inherits already.
void FollowScratchUserRoot() {}

}  // namespace platform
