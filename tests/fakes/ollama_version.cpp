#include <tests/fakes/ollama_version.h>

#include <cstdio>
#include <tuple>

#include <tests/fakes/ollama_endpoint.h>

namespace fake_ollama {

bool RunnerVersion::AtLeast(int ma, int mi, int pa) const {
  return std::tie(major, minor, patch) >= std::tie(ma, mi, pa);
}

std::string RunnerVersion::CannotConnectError() const {
  constexpr const char* kServer =
      "could not connect to ollama server, run 'ollama serve' to start it";
  if (!AtLeast(0, 7, 1)) return "could not connect to ollama app, is it running?";
  if (!AtLeast(0, 15, 5)) return std::string("ollama server not responding - ") + kServer;
  return kServer;
}

RunnerVersion ParseRunnerVersion(const std::string& text) {
  RunnerVersion version;
  version.text = text;
  const std::string numbers = text.starts_with('v') ? text.substr(1) : text;
  std::sscanf(numbers.c_str(), "%d.%d.%d", &version.major, &version.minor, &version.patch);
  return version;
}

RunnerVersion CurrentVersion() {
  const std::string value = EnvValue("TIDEWELL_FAKE_OLLAMA_VERSION");
  return ParseRunnerVersion(value.empty() ? kDefaultVersion : value);
}

}  // namespace fake_ollama
