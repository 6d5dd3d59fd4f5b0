#include <package/zip_entry_info.h>
#include <package/zip_format.h>

#include <ctime>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

constexpr std::int64_t kFileTimeUnixEpoch = 116444736000000000LL;
constexpr std::int64_t kTicksPerSecond = 10000000LL;

// The dropping rules, applied until none applies.
std::wstring_view StripClimbing(std::wstring_view name) {
  for (;;) {
    if (name.size() >= 2 && name[1] == L':') {
      name.remove_prefix(2);
      continue;
    }
    if (!name.empty() && IsPathSeparator(name[0])) {
      name.remove_prefix(1);
      continue;
    }
    if (name.size() >= 3 && name[0] == L'.' && name[1] == L'.' && IsPathSeparator(name[2])) {
      name.remove_prefix(3);
      continue;
    }
    bool dropped = false;
    for (const std::wstring_view step : {L"\\..\\", L"\\../", L"/../", L"/..\\"}) {
      const std::size_t at = name.find(step);
      if (at != std::wstring_view::npos) {
        name.remove_prefix(at + step.size());
        dropped = true;
        break;
      }
    }
    if (!dropped) return name;
  }
}

}  // namespace

std::wstring SanitiseEntryName(std::wstring_view name) {
  name = StripClimbing(name);
  // Then component by component: whatever is left of "." and "..", or of
  // empty steps, goes, so no path built from the name can leave its root.
  std::vector<std::wstring_view> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsPathSeparator(name[end])) ++end;
    const std::wstring_view part = name.substr(start, end - start);
    if (!part.empty() && part != L"." && part != L"..") parts.push_back(part);
    start = end + 1;
  }
  std::wstring clean;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i != 0) clean.push_back(L'/');
    clean.append(parts[i]);
  }
  // A directory entry keeps its trailing separator.
  if (!clean.empty() && !name.empty() && IsPathSeparator(name.back())) clean.push_back(L'/');
  return clean;
}

std::uint32_t EntryAttributes(std::uint32_t ext, std::uint8_t host) {
  bool directory = (ext & 0x40000000u) != 0;
  bool readOnly = (ext & 0x00800000u) == 0;
  bool hidden = false;
  bool system = false;
  bool archive = true;
  if (host == 0 || host == 7 || host == 11 || host == 14) {
    readOnly = (ext & 0x01u) != 0;
    hidden = (ext & 0x02u) != 0;
    system = (ext & 0x04u) != 0;
    directory = (ext & 0x10u) != 0;
    archive = (ext & 0x20u) != 0;
  }
  std::uint32_t attributes = 0;
  if (directory) attributes |= kAttrDirectory;
  if (archive) attributes |= kAttrArchive;
  if (hidden) attributes |= kAttrHidden;
  if (readOnly) attributes |= kAttrReadOnly;
  if (system) attributes |= kAttrSystem;
  return attributes;
}

std::int64_t UnixTimeToFileTime(std::int64_t seconds) {
  return seconds * kTicksPerSecond + kFileTimeUnixEpoch;
}

std::int64_t FileTimeToUnixNanoseconds(std::int64_t fileTime) {
  return (fileTime - kFileTimeUnixEpoch) * 100;
}

std::int64_t DosTimeToFileTime(std::uint16_t date, std::uint16_t time) {
  // mktime reads and may reload the process's time zone state; extraction
  // threads take turns.
  static std::mutex timeZone;
  std::tm local{};
  local.tm_year = 80 + (date >> 9);
  local.tm_mon = ((date >> 5) & 0x0F) - 1;
  local.tm_mday = date & 0x1F;
  local.tm_hour = time >> 11;
  local.tm_min = (time >> 5) & 0x3F;
  local.tm_sec = 2 * (time & 0x1F);
  local.tm_isdst = -1;
  // mktime looks at the time zone file on every call, and the entries of
  // one archive share few times: the answers are kept (a few thousand at
  // most, for the process's life; the zone does not change under us).
  static std::unordered_map<std::uint32_t, std::int64_t> known;
  const std::uint32_t key =
      (static_cast<std::uint32_t>(date) << 16) | static_cast<std::uint32_t>(time);
  std::lock_guard lock(timeZone);
  if (const auto it = known.find(key); it != known.end()) return it->second;
  if (known.size() >= 4096) known.clear();
  const std::int64_t value = UnixTimeToFileTime(static_cast<std::int64_t>(std::mktime(&local)));
  known.emplace(key, value);
  return value;
}

EntryTimes EntryTimesFrom(std::uint16_t dosDate, std::uint16_t dosTime, const std::uint8_t* extra,
                          std::size_t extraLength) {
  // The DOS time is local time to a zone's rules, and costly to turn into
  // an instant: only what the extended timestamp leaves open takes it.
  bool set[3] = {false, false, false};
  EntryTimes times{0, 0, 0};
  std::size_t at = 0;
  while (extra != nullptr && at + 4 <= extraLength) {
    const std::size_t size = static_cast<std::size_t>(extra[at + 2] | (extra[at + 3] << 8));
    const std::size_t data = at + 4;
    const std::size_t end = std::min(data + size, extraLength);
    if (extra[at] == 'U' && extra[at + 1] == 'T') {
      if (data < end) {
        const std::uint8_t flags = extra[data];
        std::size_t p = data + 1;
        std::int64_t* targets[] = {&times.write, &times.access, &times.create};
        for (int bit = 0; bit < 3; ++bit) {
          if ((flags & (1 << bit)) == 0) continue;
          if (p + 4 > end) break;  // the time must lie inside the block
          const std::uint32_t seconds = static_cast<std::uint32_t>(extra[p]) |
                                        (static_cast<std::uint32_t>(extra[p + 1]) << 8) |
                                        (static_cast<std::uint32_t>(extra[p + 2]) << 16) |
                                        (static_cast<std::uint32_t>(extra[p + 3]) << 24);
          *targets[bit] = UnixTimeToFileTime(static_cast<std::int32_t>(seconds));
          set[bit] = true;
          p += 4;
        }
      }
      break;
    }
    at = data + size;
  }
  if (!set[0] || !set[1] || !set[2]) {
    const std::int64_t dos = DosTimeToFileTime(dosDate, dosTime);
    std::int64_t* targets[] = {&times.write, &times.access, &times.create};
    for (int bit = 0; bit < 3; ++bit) {
      if (!set[bit]) *targets[bit] = dos;
    }
  }
  return times;
}
