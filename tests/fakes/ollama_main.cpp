// The stand-in for the Ollama runner (installed as `ollama`): `help`,
// `serve`, `list`, `pull TAG` and `--version`, behaving as the real runner
// of the release TIDEWELL_FAKE_OLLAMA_VERSION (default 0.5.7) does. Models
// come from a local model source (TIDEWELL_MODEL_SOURCE) instead of the
// registry.
#include <cstdio>
#include <string>
#include <string_view>

#include <platform/scratch_user_root.h>
#include <platform/standard_streams.h>
#include <tests/fakes/ollama_client.h>
#include <tests/fakes/ollama_server.h>
#include <tests/fakes/ollama_start_report.h>

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  ollama [flags]\n"
    "  ollama [command]\n"
    "\n"
    "Available Commands:\n"
    "  serve       Start ollama\n"
    "  pull        Pull a model from a registry\n"
    "  list        List models\n"
    "  help        Help about any command\n"
    "\n"
    "Flags:\n"
    "  -h, --help      help for ollama\n"
    "  -v, --version   Show version information\n"
    "\n"
    "Use \"ollama [command] --help\" for more information about a command.\n";

int WrongArgs(int expected, int received) {
  std::fprintf(stderr, "Error: accepts %d arg(s), received %d\n", expected, received);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  platform::FollowScratchUserRoot();
  platform::WriteStandardStreamsAsBytes();
  if (argc == 1) {
    std::fputs(kUsage, stderr);
    return 0;
  }
  const std::string_view command = argv[1];
  const int args = argc - 2;
  if (command == "help" || command == "-h" || command == "--help") {
    std::printf("Large language model runner\n\n%s", kUsage);
    return 0;
  }
  if (command == "-v" || command == "--version") return fake_ollama::ShowVersion();
  if (command == "serve" || command == "start") {
    if (args != 0) return WrongArgs(0, args);
    fake_ollama::WriteStartReport();
    return fake_ollama::Serve();
  }
  if (command == "list" || command == "ls") {
    return fake_ollama::ListModels(args > 0 ? argv[2] : "");
  }
  if (command == "pull") return args == 1 ? fake_ollama::PullModel(argv[2]) : WrongArgs(1, args);
  std::fprintf(stderr, "Error: unknown command \"%s\" for \"ollama\"\n", argv[1]);
  return 1;
}
