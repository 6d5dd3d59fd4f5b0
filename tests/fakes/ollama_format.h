#pragma once
// How the stand-in runner prints sizes, ages, the model table and the pull
// progress line: the shapes people and the engine know from the real one.
#include <cstdint>
#include <string>
#include <vector>

namespace fake_ollama {

// Decimal units: "512 B", "4.2 MB", "4.7 GB", "40 GB".
std::string HumanBytes(std::uint64_t bytes);
// "Less than a second ago", "About a minute ago", "2 hours ago", ...
std::string HumanAge(std::int64_t seconds);
// Whole seconds like "2m10s", "1h0m5s", "45s".
std::string ShortDuration(std::int64_t seconds);

struct ListedModel {
  std::string name;
  std::string id;  // 12 hex digits
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // Unix seconds
};

// Header "NAME ID SIZE MODIFIED" and one row per model, every column padded
// to its widest cell plus four blanks; each line ends with a newline.
std::string ListTable(const std::vector<ListedModel>& models, std::int64_t now);

// "pulling 96c415656d37:  45% ▕████████        ▏ 2.1 GB/4.7 GB   20 MB/s   2m10s"
// rate in bytes per second; no rate and time left before the first measure.
std::string ProgressLine(const std::string& digest12, std::uint64_t completed, std::uint64_t total,
                         double rate);

// Redraws a block of status lines in place on a terminal: the real runner's
// escape sequences (hide the cursor, clear and move up, show it at the end).
class StatusBlock {
 public:
  // The bytes that replace what was drawn before with lines.
  std::string Redraw(const std::vector<std::string>& lines);
  // The bytes that end the block: a newline and the cursor shown again.
  std::string Finish();

 private:
  std::size_t drawn_ = 0;
};

}  // namespace fake_ollama
