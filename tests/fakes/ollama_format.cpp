#include <tests/fakes/ollama_format.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace fake_ollama {

std::string HumanBytes(std::int64_t bytes) {
  static const struct {
    double size;
    const char* unit;
  } kUnits[] = {{1e12, "TB"}, {1e9, "GB"}, {1e6, "MB"}, {1e3, "KB"}};
  char text[40];
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
  std::snprintf(text, sizeof text, "%lld B", static_cast<long long>(bytes));
  return text;
}

std::string HumanBytes2(std::uint64_t bytes) {
  static const struct {
    std::uint64_t size;
    const char* unit;
  } kUnits[] = {{1ULL << 30, "GiB"}, {1ULL << 20, "MiB"}, {1ULL << 10, "KiB"}};
  char text[48];
  for (const auto& unit : kUnits) {
    if (bytes < unit.size) continue;
    std::snprintf(text, sizeof text, "%.1f %s",
                  static_cast<double>(bytes) / static_cast<double>(unit.size), unit.unit);
    return text;
  }
  std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  return text;
}

std::string HumanDuration(double seconds) {
  const auto count = [](std::int64_t n, const char* unit) {
    return std::to_string(n) + " " + unit;
  };
  const auto whole = static_cast<std::int64_t>(seconds);
  if (whole < 1) return "Less than a second";
  if (whole == 1) return "1 second";
  if (whole < 60) return count(whole, "seconds");
  const std::int64_t minutes = whole / 60;
  if (minutes == 1) return "About a minute";
  if (minutes < 60) return count(minutes, "minutes");
  const auto hours = static_cast<std::int64_t>(std::round(seconds / 3600));
  if (hours == 1) return "About an hour";
  if (hours < 48) return count(hours, "hours");
  if (hours < 24 * 7 * 2) return count(hours / 24, "days");
  if (hours < 24 * 30 * 2) return count(hours / 24 / 7, "weeks");
  if (hours < 24 * 365 * 2) return count(hours / 24 / 30, "months");
  return count(static_cast<std::int64_t>(seconds / 3600) / 24 / 365, "years");
}

std::string HumanAge(double secondsAgo) {
  if (secondsAgo / 3600 / 24 / 365 < -20) return "Forever";
  if (secondsAgo < 0) return HumanDuration(-secondsAgo) + " from now";
  return HumanDuration(secondsAgo) + " ago";
}

std::string BarDuration(std::int64_t seconds) {
  if (seconds >= 100 * 3600) return "99h+";
  if (seconds >= 3600) {
    return std::to_string(seconds / 3600) + "h" + std::to_string(seconds / 60 % 60) + "m";
  }
  if (seconds >= 60) return std::to_string(seconds / 60) + "m" + std::to_string(seconds % 60) + "s";
  return std::to_string(seconds) + "s";
}

std::int64_t UtcSecondsOf(const std::tm& parts) {
  // Days from the civil date, counted in 400-year eras from March 1st.
  const std::int64_t month = parts.tm_mon + 1;
  const std::int64_t year = parts.tm_year + 1900 - (month <= 2 ? 1 : 0);
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + parts.tm_mday - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec;
}

namespace {

// ".5" for half a second, as Go writes it: trailing zeros dropped, none at all
// for a whole second.
std::string NanosecondFraction(std::int64_t nanoseconds) {
  if (nanoseconds <= 0) return {};
  char text[32];
  std::snprintf(text, sizeof text, ".%09lld", static_cast<long long>(nanoseconds));
  std::string fraction = text;
  while (fraction.back() == '0') fraction.pop_back();
  return fraction;
}

}  // namespace

std::string Rfc3339Nano(std::int64_t seconds, std::int64_t nanoseconds) {
  const auto when = static_cast<std::time_t>(seconds);
  std::tm local{};
  {
    // localtime's result is shared by the whole process: one reader at a time.
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    if (const std::tm* parts = std::localtime(&when); parts != nullptr) local = *parts;
  }
  char text[80];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  std::string out = text;
  out += NanosecondFraction(nanoseconds);
  const long offset = static_cast<long>(UtcSecondsOf(local) - seconds);
  if (offset == 0) return out + "Z";
  const long minutes = std::labs(offset) / 60;
  std::snprintf(text, sizeof text, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return out + text;
}

std::string Rfc3339NanoUtc(std::int64_t seconds, std::int64_t nanoseconds) {
  // The civil date from the days since 1970, in 400-year eras from March 1st
  // (gmtime's result is shared by the whole process, and Windows names its
  // reentrant form differently).
  const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const std::int64_t inDay = seconds - days * 86400;
  const std::int64_t shifted = days + 719468;
  const std::int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const std::int64_t dayOfEra = shifted - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  char text[80];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), static_cast<long long>(inDay / 3600),
                static_cast<long long>(inDay / 60 % 60), static_cast<long long>(inDay % 60));
  std::string out = text;
  out += NanosecondFraction(nanoseconds);
  return out + "Z";
}

std::string ListTable(const std::vector<ListedModel>& models) {
  std::vector<std::vector<std::string>> rows = {{"NAME", "ID", "SIZE", "MODIFIED"}};
  for (const auto& model : models) {
    rows.push_back({model.name, model.id, HumanBytes(model.size), HumanAge(model.ageSeconds)});
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

}  // namespace fake_ollama
