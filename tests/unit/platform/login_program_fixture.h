#pragma once
// The runner as the login entry names it, for a program at a given path.
#include <platform/login_program.h>

#include <string>

namespace login_test {

inline platform::LoginProgram Program(const std::string& path) {
  return {"tidewell-ollama",
          "Tidewell local model runner",
          {path, "serve"},
          {"OLLAMA_HOST=127.0.0.1:11434", "OLLAMA_MODELS=" + path + "/models"}};
}

}  // namespace login_test
