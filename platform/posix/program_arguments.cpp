#include <platform/program_arguments.h>

#include <platform/os_encoding.h>

namespace platform {

std::vector<std::wstring> ProgramArguments(int argc, char** argv) {
  std::vector<std::wstring> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(OsNarrowToWide(argv[i]));
  return arguments;
}

}  // namespace platform
