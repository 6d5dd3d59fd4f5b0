#pragma once
// What a model pull is doing, read from the runner server's streamed answer:
// one JSON object a line, {"status", "digest", "total", "completed"} while
// layers download, {"error"} on failure. Every layer announces its total
// before its bytes come, so the sums are exact from the start.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include <install/stream_lines.h>

enum class PullPhase {
  StartingRunner,  // waiting for the runner's server to answer
  Starting,
  Manifest,
  Pulling,
  Verifying,
  WritingManifest,
  Success,
  Error
};

struct PullProgress {
  PullPhase phase = PullPhase::Starting;
  int percent = 0;              // of all layers announced so far
  std::uint64_t doneBytes = 0;  // exact, summed over the layers
  std::uint64_t totalBytes = 0;
  std::uint64_t bytesPerSecond = 0;
  long long secondsLeft = -1;  // -1: unknown
  std::string errorText;       // the runner's own words (English)
  bool stalled = false;        // no bytes for a long while; the pull still runs
  bool finished = false;       // the pull has ended
};

class PullStreamReader {
 public:
  // Feeds raw body bytes; true when the progress changed.
  bool Feed(std::string_view bytes);
  // Ends the body: a last line without a line end still counts.
  bool Finish();
  const PullProgress& Progress() const { return m_progress; }

 private:
  bool TakeLine(std::string_view line);
  void SumLayers();
  void AllLayersIn();

  struct Layer {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
  };

  PullProgress m_progress;
  StreamLines m_lines;
  std::map<std::string, Layer> m_layers;  // by digest
};

// "2.1 GB" style text for a byte count, decimal units as the runner shows them.
std::string FormatByteSize(std::uint64_t bytes);
