#pragma once
// The real runner's terminal progress for `pull` (progress/bar.go,
// spinner.go, progress.go): a block of states redrawn every 100 ms on
// standard error. Times are seconds on a steady clock, passed in so that the
// pictures can be checked without waiting.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <tests/fakes/ollama_version.h>

namespace fake_ollama {

// One layer's bar: "<message> 45% ▕███     ▏ 2.1 GB/4.7 GB   20 MB/s   2m10s"
// laid out for an 80-column terminal, sizes right-aligned to six characters.
class ProgressBar {
 public:
  ProgressBar(std::string message, std::int64_t maxValue, std::int64_t initialValue, double now);
  void Set(std::int64_t value, double now);
  std::string String() const;

 private:
  double Percent() const;
  double Rate() const;

  struct Bucket {
    double updated;
    std::int64_t value;
  };
  std::string message_;
  std::int64_t max_, initial_, current_;
  double started_, stopped_ = -1;
  std::vector<Bucket> buckets_;
};

// A status line with a turning wheel while it is the current one:
// "pulling manifest ⠙ ", and "pulling manifest " once stopped.
class Spinner {
 public:
  Spinner(std::string message, double now) : message_(std::move(message)), started_(now) {}
  void Stop() { stopped_ = true; }
  std::string String(double now) const;

 private:
  std::string message_;
  double started_;
  bool stopped_ = false;
};

// The block of states and the bytes of each redraw, as the release given
// draws them: 0.6.0 on frames each redraw in ESC[?2026h … ESC[?2026l.
class ProgressBlock {
 public:
  explicit ProgressBlock(RunnerVersion version) : version_(std::move(version)) {}
  void AddBar(std::unique_ptr<ProgressBar> bar);
  void AddSpinner(std::unique_ptr<Spinner> spinner);
  // The bytes of one redraw (every 100 ms).
  std::string Render(double now);
  // The last redraw, with every wheel stopped, and the newline after it.
  std::string Stop(double now);

 private:
  struct State {
    std::unique_ptr<ProgressBar> bar;
    std::unique_ptr<Spinner> spinner;
  };
  RunnerVersion version_;
  std::vector<State> states_;
  std::size_t drawn_ = 0;
  bool stopped_ = false;
};

}  // namespace fake_ollama
