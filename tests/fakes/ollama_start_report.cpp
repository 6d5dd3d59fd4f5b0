#include <tests/fakes/ollama_start_report.h>

#include <fstream>

#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/ollama_store.h>
#include <tests/fakes/utf8_path.h>

namespace fake_ollama {

void WriteStartReport() {
  const std::string target = EnvValue("TIDEWELL_FAKE_OLLAMA_START_REPORT");
  if (target.empty()) return;
  std::ofstream out(fake_text::Utf8Path(target), std::ios::binary | std::ios::trunc);
  out << StartWindowLines() << "models: " << fake_text::PathText(ModelStoreRoot()) << "\n";
}

}  // namespace fake_ollama
