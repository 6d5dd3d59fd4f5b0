#pragma once
// Event reports leave in the order they were made, from one thread of their
// own: a click or an installation stage never waits for a slow service.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class CEventReporter {
 public:
  CEventReporter();
  // Never joined while the process runs; see the definition.
  ~CEventReporter();

  // Queues one report of the event name, as it goes on the wire.
  void Report(const std::string& eventName);
  // Waits until every queued report has been sent (or has failed).
  void WaitIdle();

 private:
  void Loop();

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_idle;
  std::deque<std::string> m_queue;
  bool m_busy = false;
  bool m_stop = false;
  std::thread m_thread;
};

// The process's reporter, started on first use and never destroyed.
CEventReporter& GetEventReporter();
