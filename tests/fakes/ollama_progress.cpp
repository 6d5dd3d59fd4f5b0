#include <tests/fakes/ollama_progress.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <tests/fakes/ollama_format.h>

namespace fake_ollama {

namespace {

constexpr int kTerminalWidth = 80;  // standard error is no terminal
constexpr std::size_t kTerminalHeight = 24;
constexpr std::size_t kMaxBuckets = 10;

std::string Repeat(const std::string& text, long count) {
  std::string out;
  for (long i = 0; i < count; ++i) out += text;
  return out;
}

std::string PadLeft(const std::string& text, std::size_t width) {
  return Repeat(" ", static_cast<long>(width) - static_cast<long>(text.size())) + text;
}

std::string TrimSpace(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

ProgressBar::ProgressBar(std::string message, std::int64_t maxValue, std::int64_t initialValue,
                         double now)
    : message_(std::move(message)),
      max_(maxValue),
      initial_(initialValue),
      current_(initialValue),
      started_(now) {
  if (initialValue >= maxValue) stopped_ = now;
}

void ProgressBar::Set(std::int64_t value, double now) {
  value = std::min(value, max_);
  current_ = value;
  if (current_ >= max_) stopped_ = now;
  // At most one rate sample a second, the last ten kept.
  if (buckets_.empty() || now - buckets_.back().updated > 1.0) {
    buckets_.push_back({now, value});
    if (buckets_.size() > kMaxBuckets) buckets_.erase(buckets_.begin());
  }
}

double ProgressBar::Percent() const {
  return max_ > 0 ? static_cast<double>(current_) / static_cast<double>(max_) * 100 : 0;
}

double ProgressBar::Rate() const {
  double numerator = 0, denominator = 0;
  if (stopped_ >= 0) {
    numerator = static_cast<double>(current_ - initial_);
    denominator = std::round(stopped_ - started_);
  } else if (buckets_.size() == 1) {
    numerator = static_cast<double>(buckets_[0].value - initial_);
    denominator = std::round(buckets_[0].updated - started_);
  } else if (buckets_.size() > 1) {
    numerator = static_cast<double>(buckets_.back().value - buckets_.front().value);
    denominator = std::round(buckets_.back().updated - buckets_.front().updated);
  }
  return denominator != 0 ? numerator / denominator : 0;
}

std::string ProgressBar::String() const {
  std::string pre;
  if (!message_.empty()) pre = TrimSpace(message_) + " ";
  char percent[16];
  std::snprintf(percent, sizeof percent, "%3.0f%%", Percent());
  pre += percent;

  const bool running = stopped_ < 0;
  std::string suf;
  if (running) {
    suf = PadLeft(HumanBytes(current_), 6) + "/" + PadLeft(HumanBytes(max_), 6);
  } else {
    suf = PadLeft(HumanBytes(max_), 6) + Repeat(" ", 7);
  }
  const double rate = Rate();
  if (running && rate > 0) {
    suf += "  " + PadLeft(HumanBytes(static_cast<std::int64_t>(rate)), 6) + "/s";
    const auto remaining = static_cast<std::int64_t>(static_cast<double>(max_ - current_) / rate);
    suf += "  " + PadLeft(BarDuration(remaining), 6);
  } else {
    suf += Repeat(" ", 10) + Repeat(" ", 8);
  }

  // Two boundary characters and a blank at each end.
  const long width =
      kTerminalWidth - static_cast<long>(pre.size()) - static_cast<long>(suf.size()) - 5;
  const long filled = static_cast<long>(static_cast<double>(width) * Percent() / 100);
  return pre + " ▕" + Repeat("█", filled) + Repeat(" ", width - filled) + "▏ " + suf;
}

std::string Spinner::String(double now) const {
  static const char* const kParts[] = {"⠋", "⠙", "⠹", "⠸", "⠼", "⠴", "⠦", "⠧", "⠇", "⠏"};
  std::string out;
  const std::string message = TrimSpace(message_);
  if (!message.empty()) out = message + " ";
  if (!stopped_) {
    const auto ticks = static_cast<long>(std::max(0.0, now - started_) / 0.1);
    out += std::string(kParts[ticks % 10]) + " ";
  }
  return out;
}

void ProgressBlock::AddBar(std::unique_ptr<ProgressBar> bar) {
  states_.push_back({std::move(bar), nullptr});
}

void ProgressBlock::AddSpinner(std::unique_ptr<Spinner> spinner) {
  states_.push_back({nullptr, std::move(spinner)});
}

std::string ProgressBlock::Render(double now) {
  const auto line = [&](const State& state) {
    return state.bar ? state.bar->String() : state.spinner->String(now);
  };
  std::string out;
  if (!version_.SynchronizedFrames()) {
    out = "\x1b[?25l";
    for (std::size_t i = 0; i < drawn_; ++i)
      out += std::string(i > 0 ? "\x1b[A" : "") + "\x1b[2K\x1b[1G";
    for (std::size_t i = 0; i < states_.size(); ++i) {
      out += line(states_[i]);
      if (i + 1 < states_.size()) out += "\n";
    }
    drawn_ = states_.size();
    return out + "\x1b[?25h";
  }
  out = "\x1b[?2026h\x1b[?25l";
  for (std::size_t i = 1; i < drawn_; ++i) out += "\x1b[A";
  out += "\x1b[1G";
  const std::size_t shown =
      version_.ClipsToTerminalHeight() ? std::min(states_.size(), kTerminalHeight) : states_.size();
  for (std::size_t i = states_.size() - shown; i < states_.size(); ++i) {
    out += line(states_[i]) + "\x1b[K";
    if (i + 1 < states_.size()) out += "\n";
  }
  drawn_ = states_.size();
  return out + "\x1b[?25h\x1b[?2026l";
}

std::string ProgressBlock::Stop(double now) {
  if (stopped_) return "";
  stopped_ = true;
  for (auto& state : states_) {
    if (state.spinner) state.spinner->Stop();
  }
  return Render(now) + "\n";
}

}  // namespace fake_ollama
