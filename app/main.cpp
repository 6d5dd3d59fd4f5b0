#include <config/app_constants.h>
#include <platform/process_exit.h>

#include "startup.h"

namespace {
// Complete before main runs: every later step reads the constants freely.
const AppConstants& g_constants = GetAppConstants();
}  // namespace

int main(int argc, char** argv) {
  (void)g_constants;
  // The settings are saved and the toolkit is gone; workers may still be
  // busy with the process-wide objects, so none of them is destroyed.
  platform::ExitProcessNow(RunApplication(argc, argv));
}
