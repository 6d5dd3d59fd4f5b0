#include "built_programs.h"

namespace built {

std::string SetupProgram() { return TIDEWELL_SETUP_PROGRAM; }
std::string AttachPayloadProgram() { return TIDEWELL_ATTACH_PAYLOAD_PROGRAM; }
std::string VendorServiceProgram() { return TIDEWELL_VENDOR_SERVICE_PROGRAM; }
std::string FakeOllamaProgram() { return TIDEWELL_FAKE_OLLAMA_PROGRAM; }
std::string FakeChatboxProgram() { return TIDEWELL_FAKE_CHATBOX_PROGRAM; }
std::string TestPackage() { return TIDEWELL_TEST_PACKAGE_FILE; }

}  // namespace built
