#include <install/pull_progress.h>

#include <cstdio>
#include <iterator>

#include <config/json_text.h>

namespace {

// No status line comes near this; a longer one is not the runner's.

std::uint64_t Count(const Json::Value& value) {
  return value.isUInt64() ? value.asUInt64() : 0;  // negatives, doubles, text: none
}

void Advance(PullProgress& progress, PullPhase phase) {
  // A late message never takes the pull back a phase.
  if (progress.phase < phase) progress.phase = phase;
}

}  // namespace

std::string FormatByteSize(std::uint64_t bytes) {
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

bool PullStreamReader::Feed(std::string_view bytes) {
  return m_lines.Feed(bytes, [this](std::string_view line) { return TakeLine(line); });
}

bool PullStreamReader::Finish() {
  return m_lines.Finish([this](std::string_view line) { return TakeLine(line); });
}

bool PullStreamReader::TakeLine(std::string_view line) {
  Json::Value message;
  if (line.find_first_not_of(" \t\r") == std::string_view::npos) return false;
  if (!ParseJson(std::string(line), message) || !message.isObject()) return false;
  const PullProgress before = m_progress;
  const Json::Value& error = message["error"];
  if (!error.isNull()) {
    m_progress.phase = PullPhase::Error;
    m_progress.errorText = error.isString() ? error.asString() : "unknown error";
  } else if (const Json::Value& status = message["status"]; status.isString()) {
    const std::string text = status.asString();
    const Json::Value& digest = message["digest"];
    if (digest.isString() && !digest.asString().empty() && text.starts_with("pulling ")) {
      Layer& layer = m_layers[digest.asString()];
      layer.total = std::max(layer.total, Count(message["total"]));
      layer.done = std::min(std::max(layer.done, Count(message["completed"])), layer.total);
      SumLayers();
      Advance(m_progress, PullPhase::Pulling);
    } else if (text == "pulling manifest") {
      Advance(m_progress, PullPhase::Manifest);
    } else if (text.starts_with("verifying")) {
      AllLayersIn();
      Advance(m_progress, PullPhase::Verifying);
    } else if (text.starts_with("writing manifest") || text.starts_with("removing")) {
      AllLayersIn();
      Advance(m_progress, PullPhase::WritingManifest);
    } else if (text == "success") {
      AllLayersIn();
      Advance(m_progress, PullPhase::Success);
    } else {
      return false;
    }
  } else {
    return false;
  }
  const PullProgress& now = m_progress;
  return now.phase != before.phase || now.doneBytes != before.doneBytes ||
         now.totalBytes != before.totalBytes || now.errorText != before.errorText;
}

void PullStreamReader::SumLayers() {
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  for (const auto& [name, each] : m_layers) {
    done += each.done;
    total += each.total;
  }
  m_progress.doneBytes = done;
  m_progress.totalBytes = total;
  m_progress.percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
}

// The runner reports a layer's bytes on a timer, so a layer that ends
// between two reports is last seen short of its total; it verifies only
// once every layer is in.
void PullStreamReader::AllLayersIn() {
  for (auto& [name, each] : m_layers) each.done = each.total;
  SumLayers();
}
