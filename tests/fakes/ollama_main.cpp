// The stand-in for the Ollama runner (installed as `ollama`). It honours what
// the assistant relies on: `help`, `serve`, `list` and `pull TAG`, with the
// real runner's output shapes. Models come from a local model source
// (TIDEWELL_MODEL_SOURCE) instead of the registry.
#include <cstdio>
#include <string_view>

#include <tests/fakes/ollama_client.h>
#include <tests/fakes/ollama_server.h>

namespace {

constexpr const char* kHelp =
    "Large language model runner\n"
    "\n"
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

}  // namespace

int main(int argc, char** argv) {
  const std::string_view command = argc > 1 ? argv[1] : "help";
  if (command == "help" || command == "-h" || command == "--help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (command == "-v" || command == "--version") {
    std::puts("ollama version is 0.5.7");
    return 0;
  }
  if (command == "serve" && argc == 2) return fake_ollama::Serve();
  if ((command == "list" || command == "ls") && argc == 2) return fake_ollama::ListModels();
  if (command == "pull" && argc == 3) return fake_ollama::PullModel(argv[2]);
  if (command == "serve" || command == "list" || command == "ls" || command == "pull") {
    std::fprintf(stderr, "Error: wrong number of arguments for \"%s\"\n", argv[1]);
    return 1;
  }
  std::fprintf(stderr, "Error: unknown command \"%s\" for \"ollama\"\n", argv[1]);
  return 1;
}
