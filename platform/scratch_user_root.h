#pragma once
// The stand-ins our tests start (the vendors' setups, the runner, the chat
// client) share the test's per-user key store: a test that keeps it in a
// scratch root names that root in TIDEWELL_SCRATCH_USER_KEY, and a stand-in
// calls this first thing. On Windows the current user's root is then that
// key (only ever one below Software\Tidewell-tests); without the variable,
// and on POSIX (where HOME already carries the store), nothing changes.
namespace platform {

void FollowScratchUserRoot();

}  // namespace platform
