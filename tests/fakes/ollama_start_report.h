#pragma once
// What the stand-in runner can tell of how it was started, for tests of
// whoever starts it at login: at `serve`, when TIDEWELL_FAKE_OLLAMA_START_REPORT
// names a file, it writes there
//   console window: none | shown     (a console of its own with a window)
//   start window: hidden | default   (what its starter asked of its window)
//   models: <the folder it keeps its models in>
// Nothing is written otherwise. The real runner does no such thing.
#include <string>

namespace fake_ollama {

void WriteStartReport();

// The first two lines, as this system tells them.
std::string StartWindowLines();

}  // namespace fake_ollama
