#pragma once
// Which real runner release the stand-in plays (TIDEWELL_FAKE_OLLAMA_VERSION,
// default 0.5.7), and the behaviours that changed between releases.
#include <string>

namespace fake_ollama {

inline constexpr const char* kDefaultVersion = "0.5.7";

struct RunnerVersion {
  std::string text;  // as reported: "0.5.7", "0.6.6-rc1"
  int major = 0, minor = 0, patch = 0;

  bool AtLeast(int ma, int mi, int pa) const;
  // Each redrawn frame of the progress block is framed in ESC[?2026h/l, the
  // cursor moved up and lines ended by ESC[K rather than cleared (0.6.0 on).
  bool SynchronizedFrames() const { return AtLeast(0, 6, 0); }
  // Only the last lines that fit a 24-line terminal are redrawn (0.7.0 on).
  bool ClipsToTerminalHeight() const { return AtLeast(0, 7, 0); }
  // Layer labels "pulling <12 hex>:" and a layer's first update (nothing
  // received yet) skipped, where older releases show "pulling <12 hex>...".
  bool ColonLabels() const { return AtLeast(0, 6, 6); }
  // What `list` and `pull` say when nothing listens at OLLAMA_HOST.
  std::string CannotConnectError() const;
};

RunnerVersion ParseRunnerVersion(const std::string& text);
// From the environment, as above.
RunnerVersion CurrentVersion();

}  // namespace fake_ollama
