#include <tests/fakes/ollama_start_report.h>

#include <windows.h>

namespace fake_ollama {

// GetConsoleWindow is null for a console made without a window
// (CREATE_NO_WINDOW), and on a display-less Wine always: there the startup
// information, which the console host follows, is what a test can see.
std::string StartWindowLines() {
  STARTUPINFOW info{};
  info.cb = sizeof info;
  ::GetStartupInfoW(&info);
  const bool hidden =
      (info.dwFlags & STARTF_USESHOWWINDOW) != 0 && info.wShowWindow == SW_HIDE;
  return std::string("console window: ") + (::GetConsoleWindow() == nullptr ? "none" : "shown") +
         "\nstart window: " + (hidden ? "hidden" : "default") + "\n";
}

}  // namespace fake_ollama
