#include <config/app_constants.h>

#include "startup.h"

namespace {
// Complete before main runs: every later step reads the constants freely.
const AppConstants& g_constants = GetAppConstants();
}  // namespace

int main(int argc, char** argv) {
  (void)g_constants;
  return RunApplication(argc, argv);
}
