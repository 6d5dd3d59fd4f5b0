#pragma once
// How the stand-in runner prints sizes, ages, times and the model table: the
// real runner's shapes (format/bytes.go, format/time.go, `ollama list`).
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace fake_ollama {

// Decimal units, whole numbers from 10 up: "512 B", "4.2 MB", "4.7 GB", "19 GB".
std::string HumanBytes(std::int64_t bytes);
// Binary units, always one decimal from KiB up, as the runner's server words
// memory (format.HumanBytes2): "900 B", "512.0 MiB", "5.2 GiB".
std::string HumanBytes2(std::uint64_t bytes);
// "Less than a second", "About a minute", "2 hours", "3 days", ...
std::string HumanDuration(double seconds);
// The above followed by " ago" (" from now" for a time ahead).
std::string HumanAge(double secondsAgo);
// A time left as the progress bar shows it: "0s", "2m10s", "1h5m", "99h+".
std::string BarDuration(std::int64_t seconds);

// A time as Go marshals a time.Time in the machine's zone:
// "2025-01-28T10:15:30.123456789+08:00", trailing zeros of the fraction
// dropped (no fraction when it is zero), "Z" for UTC.
std::string Rfc3339Nano(std::int64_t seconds, std::int64_t nanoseconds);
// The same in UTC, as Go marshals time.Now().UTC(): "2025-01-28T02:15:30.123456789Z".
std::string Rfc3339NanoUtc(std::int64_t seconds, std::int64_t nanoseconds);
// The calendar time in parts (read as UTC) as seconds since 1970 (what
// timegm does, which Windows lacks).
std::int64_t UtcSecondsOf(const std::tm& parts);

struct ListedModel {
  std::string name;
  std::string id;  // the first 12 hex digits of the manifest's digest
  std::int64_t size = 0;
  double ageSeconds = 0;
};

// Header "NAME ID SIZE MODIFIED" and one row per model, every column padded
// to its widest cell plus four blanks; each line ends with a newline.
std::string ListTable(const std::vector<ListedModel>& models);

}  // namespace fake_ollama
