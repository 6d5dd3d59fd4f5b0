// The runner stand-in's failed bind, worded as Go words it on this system.
#include <gmock/gmock.h>

#include <tests/integration/fake_ollama_fixture.h>
#include <tests/support/vendor_service_process.h>

namespace {

using namespace fake_ollama_test;

// Go gives the system's own message on Windows, as the system words it; where
// the system has none for the error (Wine has none for this one), Go's
// "winapi error #<number>".
TEST_F(FakeOllamaTest, ASecondServerOnTheSamePortFailsWithTheRealText) {
  VendorServiceProcess vendor;
  ASSERT_TRUE(vendor.Started());
  Serve(vendor.ModelSource());
  const ChildResult second = Ollama({"serve"});
  EXPECT_EQ(second.exitCode, 1);
  const std::string prefix = "Error: listen tcp 127.0.0.1:" + std::to_string(port_) + ": bind: ";
  EXPECT_THAT(second.errors,
              ::testing::AnyOf(prefix +
                                   "Only one usage of each socket address (protocol/network "
                                   "address/service access point) is normally permitted.\n",
                               prefix + "winapi error #10048\n"));
}

}  // namespace
