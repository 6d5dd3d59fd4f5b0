#include <tools/vendor_service/event_log.h>

#include <cstdio>
#include <ctime>

#include <platform/append_file.h>
#include <platform/os_encoding.h>
#include <tools/vendor_service/utc_time.h>

EventLog::EventLog(const std::string& path) : path_(path) {
  if (path_.empty()) return;
  file_.reset(platform::OpenPrivateAppendFile(platform::OsPath(platform::OsNarrowToWide(path_))));
}

EventLog::~EventLog() = default;

bool EventLog::Reopen() {
  if (path_.empty()) return true;
  platform::FileHandle fresh(
      platform::OpenPrivateAppendFile(platform::OsPath(platform::OsNarrowToWide(path_))));
  if (!fresh.valid()) return false;
  std::lock_guard lock(mutex_);
  file_ = std::move(fresh);
  return true;
}

std::string EscapeField(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f || c == '%') {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out;
}

std::string EventLog::Append(const ReportedEvent& event) {
  const UtcTime utc = ToUtc(static_cast<std::int64_t>(std::time(nullptr)));
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.year, utc.month, utc.day,
                utc.hour, utc.minute, utc.second);
  const std::string line = std::string(stamp) + '\t' + EscapeField(event.event) + '\t' +
                           EscapeField(event.channel) + '\t' + EscapeField(event.version) + '\t' +
                           EscapeField(event.os) + '\t' + EscapeField(event.uuid);
  const std::string record = line + '\n';
  std::lock_guard lock(mutex_);
  if (file_.valid()) {
    // One write per line: appending keeps concurrent lines whole.
    std::size_t done = 0;
    while (done < record.size()) {
      const long long n =
          platform::WriteSome(file_.get(), record.data() + done, record.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
  return line;
}
