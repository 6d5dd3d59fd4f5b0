#include <gtest/gtest.h>

#include <tests/support/child.h>
#include <tests/support/temp_home.h>

namespace {

// The process ends while a worker is mid-task on the process-wide objects:
// it must end with its own code, not crash on objects torn down under it.
TEST(Shutdown, WorkerMidTaskAtExitDoesNotCrashTheProcess) {
  TempHome home;
  for (int run = 0; run < 40; ++run) {
    const ChildResult result = RunChild({EXIT_PROBE}, 60);
    ASSERT_TRUE(result.started);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 7) << "run " << run;
  }
}

}  // namespace
