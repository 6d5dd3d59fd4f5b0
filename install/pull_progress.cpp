#include <install/pull_progress.h>

#include <cmath>
#include <cstdio>
#include <regex>

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::string();
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

}  // namespace

std::string StripTerminalEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\x1b') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '[') {
      // CSI: parameters and intermediates up to a final byte in @..~.
      std::size_t j = i + 2;
      while (j < text.size() && !(text[j] >= '@' && text[j] <= '~')) ++j;
      i = j;
    } else {
      ++i;  // ESC and one more byte
    }
  }
  return out;
}

std::uint64_t ParseByteSize(std::string_view number, std::string_view unit) {
  double value = 0;
  try {
    value = std::stod(std::string(number));
  } catch (const std::exception&) {
    return 0;
  }
  double scale = 0;
  if (unit == "B") scale = 1;
  if (unit == "KB") scale = 1e3;
  if (unit == "MB") scale = 1e6;
  if (unit == "GB") scale = 1e9;
  if (unit == "TB") scale = 1e12;
  if (scale == 0 || value < 0) return 0;
  return static_cast<std::uint64_t>(std::llround(value * scale));
}

std::string FormatByteSize(std::uint64_t bytes) {
  // Decimal units, as the runner shows them.
  static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1000 && unit + 1 < std::size(kUnits)) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  if (unit == 0) {
    std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  } else {
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  }
  return text;
}

bool PullOutputReader::Feed(std::string_view bytes) {
  bool changed = false;
  auto endLine = [&] {
    changed = TakeLine(std::move(m_pending)) || changed;
    m_pending.clear();
  };
  for (const char c : bytes) {
    if (m_escape == Escape::None) {
      if (c == '\x1b') {
        m_escape = Escape::Start;
      } else if (c == '\r' || c == '\n') {
        endLine();
      } else {
        m_pending.push_back(c);
      }
    } else if (m_escape == Escape::Start) {
      m_escape = c == '[' ? Escape::Csi : Escape::None;
    } else if (c >= '@' && c <= '~') {
      m_escape = Escape::None;
      // The runner ends each drawn line by clearing the rest of it, and
      // starts the next frame by moving the cursor: both end a line.
      if (c == 'K' || c == 'G' || c == 'A' || c == 'J' || c == 'H') endLine();
    }
  }
  return changed;
}

bool PullOutputReader::Finish() {
  const bool changed = TakeLine(std::move(m_pending));
  m_pending.clear();
  return changed;
}

bool PullOutputReader::TakeLine(std::string raw) {
  const std::string line = Trim(StripTerminalEscapes(raw));
  if (line.empty()) return false;
  const PullProgress before = m_progress;
  if (StartsWith(line, "Error:")) {
    m_progress.phase = PullPhase::Error;
    m_progress.errorText = Trim(std::string_view(line).substr(6));
  } else if (line == "success") {
    m_progress.phase = PullPhase::Success;
  } else if (StartsWith(line, "verifying sha256 digest")) {
    if (m_progress.phase < PullPhase::Verifying) m_progress.phase = PullPhase::Verifying;
  } else if (StartsWith(line, "writing manifest")) {
    if (m_progress.phase < PullPhase::WritingManifest)
      m_progress.phase = PullPhase::WritingManifest;
  } else if (StartsWith(line, "pulling manifest")) {
    // Every frame redraws the finished manifest line too: it never takes
    // the pull back a phase.
    if (m_progress.phase == PullPhase::Starting) m_progress.phase = PullPhase::Manifest;
  } else if (StartsWith(line, "pulling ")) {
    // pulling 96c415656d37:  45% ▕██    ▏ 2.1 GB/4.7 GB   20 MB/s   2m10s
    // A finished layer shows its size alone: "100% ▕████▏ 4.7 GB".
    static const std::regex kLine(
        R"(pulling ([0-9a-f]+):\s+(\d+)%.*?([0-9.]+) ([KMGT]?B)(?:/([0-9.]+) ([KMGT]?B))?)"
        R"((?:\s+([0-9.]+) ([KMGT]?B)/s)?(?:\s+(\S+))?\s*$)");
    std::smatch match;
    if (!std::regex_search(line, match, kLine)) return false;
    Layer& layer = m_layers[match[1].str()];
    const std::uint64_t first = ParseByteSize(match[3].str(), match[4].str());
    if (match[5].matched) {
      layer.done = first;
      layer.total = ParseByteSize(match[5].str(), match[6].str());
    } else {
      layer.done = layer.total = first;  // a finished layer shows its size alone
    }
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    for (const auto& [digest, each] : m_layers) {
      done += each.done;
      total += each.total;
    }
    if (m_progress.phase < PullPhase::Pulling) m_progress.phase = PullPhase::Pulling;
    m_progress.doneBytes = done;
    m_progress.totalBytes = total;
    // One layer: the runner's own figure; several: their sum.
    m_progress.percent = m_layers.size() > 1 && total > 0 ? static_cast<int>(done * 100 / total)
                                                          : std::stoi(match[2].str());
    // Speed and time left belong to the layer on the way.
    if (layer.done < layer.total) {
      m_progress.bytesPerSecond =
          match[7].matched ? ParseByteSize(match[7].str(), match[8].str()) : 0;
      m_progress.timeLeft = match[9].matched ? match[9].str() : std::string();
    } else if (done >= total) {
      m_progress.bytesPerSecond = 0;
      m_progress.timeLeft.clear();
    }
  } else {
    return false;
  }
  const PullProgress& now = m_progress;
  return now.phase != before.phase || now.percent != before.percent ||
         now.doneBytes != before.doneBytes || now.totalBytes != before.totalBytes ||
         now.bytesPerSecond != before.bytesPerSecond || now.timeLeft != before.timeLeft ||
         now.errorText != before.errorText;
}
