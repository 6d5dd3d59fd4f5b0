#pragma once
// The events clients report, one line each, appended to a private file:
//
//   <UTC time>\t<event>\t<channel>\t<version>\t<os>\t<uuid>
//
// Bytes a line could be broken by (controls, '%') are written as %XX.
#include <mutex>
#include <string>

#include <platform/file_handle.h>

struct ReportedEvent {
  std::string event, channel, version, os, uuid;
};

class EventLog {
 public:
  // An empty path keeps no file. Opening failures are reported by Ok().
  explicit EventLog(const std::string& path);
  ~EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;
  bool Ok() const { return path_.empty() || file_.valid(); }

  // Opens the path afresh (after a log rotation moved the file away); the
  // file in use is kept when that fails. False with errno set then.
  bool Reopen();

  // Appends the event; returns its line (without the newline).
  std::string Append(const ReportedEvent& event);

 private:
  std::string path_;
  platform::FileHandle file_;
  std::mutex mutex_;
};

std::string EscapeField(const std::string& text);
