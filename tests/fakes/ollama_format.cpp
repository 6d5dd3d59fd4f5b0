#include <tests/fakes/ollama_format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace fake_ollama {

std::string HumanBytes(std::uint64_t bytes) {
  static const struct {
    double size;
    const char* unit;
  } kUnits[] = {{1e12, "TB"}, {1e9, "GB"}, {1e6, "MB"}, {1e3, "KB"}};
  char text[32];
  for (const auto& unit : kUnits) {
    if (static_cast<double>(bytes) < unit.size) continue;
    const double value = static_cast<double>(bytes) / unit.size;
    if (value >= 10 || value == std::trunc(value)) {
      std::snprintf(text, sizeof text, "%d %s", static_cast<int>(value), unit.unit);
    } else {
      std::snprintf(text, sizeof text, "%.1f %s", value, unit.unit);
    }
    return text;
  }
  std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  return text;
}

std::string HumanAge(std::int64_t seconds) {
  const auto plural = [](std::int64_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s") + " ago";
  };
  constexpr std::int64_t kMinute = 60, kHour = 3600, kDay = 86400, kWeek = 7 * kDay;
  if (seconds < 1) return "Less than a second ago";
  if (seconds < kMinute) return plural(seconds, "second");
  if (seconds < 2 * kMinute) return "About a minute ago";
  if (seconds < kHour) return plural(seconds / kMinute, "minute");
  if (seconds < 2 * kHour) return "About an hour ago";
  if (seconds < 2 * kDay) return plural(seconds / kHour, "hour");
  if (seconds < 2 * kWeek) return plural(seconds / kDay, "day");
  if (seconds < 60 * kDay) return plural(seconds / kWeek, "week");
  if (seconds < 730 * kDay) return plural(seconds / (30 * kDay), "month");
  return plural(seconds / (365 * kDay), "year");
}

std::string ShortDuration(std::int64_t seconds) {
  seconds = std::max<std::int64_t>(seconds, 0);
  const std::int64_t h = seconds / 3600, m = seconds % 3600 / 60, s = seconds % 60;
  std::string text;
  if (h > 0) text += std::to_string(h) + "h";
  if (h > 0 || m > 0) text += std::to_string(m) + "m";
  return text + std::to_string(s) + "s";
}

std::string ListTable(const std::vector<ListedModel>& models, std::int64_t now) {
  std::vector<std::vector<std::string>> rows = {{"NAME", "ID", "SIZE", "MODIFIED"}};
  for (const auto& model : models) {
    rows.push_back({model.name, model.id, HumanBytes(model.size), HumanAge(now - model.modified)});
  }
  // Widths in characters, not bytes: names are ASCII, so bytes will do.
  std::size_t widths[4] = {};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < 4; ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string out;
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < 4; ++c) {
      out += row[c];
      out.append(widths[c] + 4 - row[c].size(), ' ');
    }
    out += '\n';
  }
  return out;
}

std::string ProgressLine(const std::string& digest12, std::uint64_t completed, std::uint64_t total,
                         double rate) {
  constexpr int kBarCells = 25;
  completed = std::min(completed, total);
  const int percent = total == 0 ? 100 : static_cast<int>(completed * 100 / total);
  const int filled = total == 0 ? kBarCells : static_cast<int>(completed * kBarCells / total);
  std::string bar;
  for (int i = 0; i < kBarCells; ++i) bar += i < filled ? "█" : " ";
  char head[64];
  std::snprintf(head, sizeof head, "pulling %s: %3d%% ", digest12.c_str(), percent);
  std::string line =
      std::string(head) + "▕" + bar + "▏ " + HumanBytes(completed) + "/" + HumanBytes(total);
  if (rate > 0) {
    line += "   " + HumanBytes(static_cast<std::uint64_t>(rate)) + "/s";
    line += "   " + ShortDuration(static_cast<std::int64_t>(
                        std::ceil(static_cast<double>(total - completed) / rate)));
  }
  return line;
}

std::string StatusBlock::Redraw(const std::vector<std::string>& lines) {
  std::string out = "\x1b[?25l";
  // The cursor stays at the end of the last line drawn: clear that line,
  // then each line above it, moving up.
  for (std::size_t i = 0; i < drawn_; ++i) {
    if (i > 0) out += "\x1b[A";
    out += "\x1b[2K\x1b[1G";
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += lines[i];
  }
  drawn_ = lines.size();
  return out;
}

std::string StatusBlock::Finish() {
  std::string out = drawn_ > 0 ? "\n" : "";
  drawn_ = 0;
  return out + "\x1b[?25h";
}

}  // namespace fake_ollama
