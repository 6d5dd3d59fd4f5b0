#include <tests/fakes/ollama_start_report.h>

namespace fake_ollama {

// No console windows here, and nothing asked of one.
std::string StartWindowLines() { return "console window: none\nstart window: default\n"; }

}  // namespace fake_ollama
