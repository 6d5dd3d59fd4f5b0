#pragma once
// What a model pull is doing, read from the runner's own output: it redraws
// its progress lines in place with terminal escapes, so the output is cut
// into lines at line ends and at the escapes that end a drawn line.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

enum class PullPhase { Starting, Manifest, Pulling, Verifying, WritingManifest, Success, Error };

struct PullProgress {
  PullPhase phase = PullPhase::Starting;
  int percent = 0;              // of all layers seen so far
  std::uint64_t doneBytes = 0;  // as the runner shows them (rounded)
  std::uint64_t totalBytes = 0;
  std::uint64_t bytesPerSecond = 0;
  std::string timeLeft;   // as the runner prints it, "2m10s"; empty when unknown
  std::string errorText;  // the runner's "Error: ..." line, without the prefix
  bool stalled = false;   // no bytes for a long while; the pull still runs
  bool finished = false;  // the runner has ended
};

class PullOutputReader {
 public:
  // Feeds raw output; true when the progress changed.
  bool Feed(std::string_view bytes);
  // Ends the output: a last line without a line end still counts.
  bool Finish();
  const PullProgress& Progress() const { return m_progress; }

 private:
  bool TakeLine(std::string line);

  struct Layer {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
  };

  enum class Escape { None, Start, Csi };

  PullProgress m_progress;
  std::string m_pending;  // the line so far, escapes left out
  Escape m_escape = Escape::None;
  // The runner redraws one line per layer; the pull is their sum.
  std::map<std::string, Layer> m_layers;
};

// "2.1 GB" and the like in bytes; 0 when it is not a size.
std::uint64_t ParseByteSize(std::string_view number, std::string_view unit);
// "2.1 GB" style text for a byte count, as a person reads it.
std::string FormatByteSize(std::uint64_t bytes);
// Drops terminal escape sequences (CSI and the two-byte ones).
std::string StripTerminalEscapes(std::string_view text);
