// The runner stand-in's failed bind, worded as Go words it on this system.
#include <tests/integration/fake_ollama_fixture.h>
#include <tests/support/vendor_service_process.h>

namespace {

using namespace fake_ollama_test;

// Go words the system's errors in lower case here, from its own table.
TEST_F(FakeOllamaTest, ASecondServerOnTheSamePortFailsWithTheRealText) {
  VendorServiceProcess vendor;
  ASSERT_TRUE(vendor.Started());
  Serve(vendor.ModelSource());
  const ChildResult second = Ollama({"serve"});
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.errors, "Error: listen tcp 127.0.0.1:" + std::to_string(port_) +
                               ": bind: address already in use\n");
}

}  // namespace
