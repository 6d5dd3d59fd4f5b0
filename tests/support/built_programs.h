#pragma once
// Paths of the programs the build makes for the tests: our setup program and
// vendor service, the stand-ins, and the test package built from them.
#include <string>

namespace built {

std::string SetupProgram();          // tidewell_setup, without a payload
std::string AttachPayloadProgram();  // tidewell_attach_payload
std::string VendorServiceProgram();  // tidewell_vendor_service
std::string FakeOllamaProgram();     // fake_ollama (installed as `ollama`)
std::string FakeChatboxProgram();    // fake_chatbox (installed as `Chatbox`)
std::string TestPackage();           // deepseek.zip with deepseek/OllamaSetup and
                                     // deepseek/Chatbox-1.9.8-Setup

}  // namespace built
