#pragma once
// "Reopen your log" from outside: SIGHUP here, as logrotate's postrotate
// sends it (nothing on Windows, where no one rotates this log). Taken by one
// waiting thread, so the reopening happens outside any signal handler.
#include <functional>

// Call before starting other threads (they inherit the blocked signal).
void TakeReopenRequests();

// Calls reopen for each request until StopServingReopenRequests.
void ServeReopenRequests(const std::function<void()>& reopen);
void StopServingReopenRequests();
