#include <tools/vendor_service/reopen_requests.h>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<bool> g_stopping{false};

sigset_t ReopenSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void TakeReopenRequests() {
  const sigset_t set = ReopenSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void ServeReopenRequests(const std::function<void()>& reopen) {
  const sigset_t set = ReopenSignals();
  while (true) {
    int taken = 0;
    if (sigwait(&set, &taken) != 0) return;
    if (g_stopping) return;
    reopen();
  }
}

void StopServingReopenRequests() {
  g_stopping = true;
  // Every thread blocks it, so the serving thread's sigwait takes it.
  ::kill(::getpid(), SIGHUP);
}
