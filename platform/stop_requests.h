#pragma once
// A program's "please stop" from outside: SIGTERM and SIGINT here; Ctrl+C,
// Ctrl+Break, the console closing and the event Local\TidewellStop-<process
// id> on Windows (a program started without a console has no other). Taken
// by one waiting thread, so stopping happens outside any signal handler.
namespace platform {

// From now on stop requests no longer end the process: they go to
// WaitForStopRequest. Call before starting other threads (here they inherit
// the blocked signals). Also keeps a closed socket from ending the process.
void TakeStopRequests();

// Blocks until a stop request comes or ReleaseStopWaiter is called.
void WaitForStopRequest();

// Wakes WaitForStopRequest as a stop request would.
void ReleaseStopWaiter();

// Asks our own program processId to stop (it called TakeStopRequests).
// False when the request could not be delivered.
bool RequestStop(long processId);

}  // namespace platform
