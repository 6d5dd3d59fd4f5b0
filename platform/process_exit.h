#pragma once

namespace platform {

// Ends the process at once with the exit code, after flushing the standard
// streams. Static objects are not destroyed: workers that are still busy
// (a model pull, say) may be using them, and the process end reclaims all.
[[noreturn]] void ExitProcessNow(int exitCode);

}  // namespace platform
