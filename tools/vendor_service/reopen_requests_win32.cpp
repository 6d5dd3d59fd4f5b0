#include <tools/vendor_service/reopen_requests.h>

#include <condition_variable>
#include <mutex>

namespace {

std::mutex g_mutex;
std::condition_variable g_changed;
bool g_stopping = false;

}  // namespace

void TakeReopenRequests() {}

void ServeReopenRequests(const std::function<void()>&) {
  std::unique_lock lock(g_mutex);
  g_changed.wait(lock, [] { return g_stopping; });
}

void StopServingReopenRequests() {
  {
    const std::lock_guard lock(g_mutex);
    g_stopping = true;
  }
  g_changed.notify_all();
}
