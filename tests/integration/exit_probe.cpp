// A program that ends the way the assistant does while a worker is still busy
// with the process-wide objects (constants and key store). Exit code 7 when
// it ends cleanly.
#include <atomic>
#include <cstring>
#include <thread>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <platform/process_exit.h>
#include <work/thread_module.h>

namespace {
std::atomic<bool> g_busy{false};
std::atomic<std::size_t> g_sink{0};
}  // namespace

int main() {
  const AppConstants& constants = GetAppConstants();
  auto* module = new CThreadModule(2);  // as in the program: never destroyed
  module->post([&constants](int) {
    for (;;) {
      std::size_t length = constants.deviceId.size() + constants.channel.size();
      try {
        RegKey key(platform::kCurrentUser, constants.productKeyPath);
        length += key.GetStringValue(L"uuid").size();
      } catch (const std::exception&) {
      }
      g_sink += length;
      g_busy = true;
    }
  });
  while (!g_busy) std::this_thread::yield();
  platform::ExitProcessNow(7);
}
