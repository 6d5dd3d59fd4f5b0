#include <platform/stop_requests.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  return set;
}

}  // namespace

void TakeStopRequests() {
  const sigset_t set = StopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

void WaitForStopRequest() {
  const sigset_t set = StopSignals();
  int taken = 0;
  sigwait(&set, &taken);
}

void ReleaseStopWaiter() {
  // Every thread blocks it, so the waiter's sigwait takes it.
  ::kill(::getpid(), SIGTERM);
}

bool RequestStop(long processId) {
  return processId > 0 && ::kill(static_cast<pid_t>(processId), SIGTERM) == 0;
}

}  // namespace platform
