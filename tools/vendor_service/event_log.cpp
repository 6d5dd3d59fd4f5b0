#include <tools/vendor_service/event_log.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

EventLog::EventLog(const std::string& path) : path_(path) {
  if (path_.empty()) return;
  fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

EventLog::~EventLog() {
  if (fd_ >= 0) ::close(fd_);
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
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  const std::string line = std::string(stamp) + '\t' + EscapeField(event.event) + '\t' +
                           EscapeField(event.channel) + '\t' + EscapeField(event.version) + '\t' +
                           EscapeField(event.os) + '\t' + EscapeField(event.uuid);
  if (fd_ >= 0) {
    const std::string record = line + '\n';
    std::lock_guard lock(mutex_);
    // One write per line: O_APPEND keeps concurrent lines whole.
    std::size_t done = 0;
    while (done < record.size()) {
      const ssize_t n = ::write(fd_, record.data() + done, record.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
  }
  return line;
}
