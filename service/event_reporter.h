#pragma once
// Event reports leave in the order they were made, from a thread of their
// own: a click or an installation stage never waits for a slow service. A
// report leaves when the one before it has been answered, or at the latest
// a short grace after it left: a silent service (whose answers may take up
// to the request time limit each) holds nothing up for long.
//
// The user's switch is looked at twice: a report made while reports are off
// is never queued, and a queued one leaves only if they are still on when
// its turn comes (so turning them off stops those waiting too).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>

#include <platform/thread_annotations.h>

class CEventReporter {
 public:
  CEventReporter();
  // Never joined while the process runs; see the definition.
  ~CEventReporter();

  // Queues one report of the event name, as it goes on the wire; dropped
  // when usage reports are off.
  void Report(const std::string& eventName) TW_EXCLUDES(m_mutex);
  // Reports queued from now on wait until Release(): the first start holds
  // them until the user has had the switch in front of them.
  void Hold() TW_EXCLUDES(m_mutex);
  // Ends the hold: the reports held back leave (each only if reports are
  // still on), or with DropHeld are forgotten.
  void Release() TW_EXCLUDES(m_mutex);
  void DropHeld() TW_EXCLUDES(m_mutex);
  // Waits until every report queued so far has left (its request is on the
  // wire, or it failed, or it was dropped), not for the answers. Reports
  // held back are not waited for.
  void WaitSent() TW_EXCLUDES(m_mutex);
  // Waits until every queued report has been answered (or has failed, or
  // was dropped); reports held back are not waited for.
  void WaitIdle() TW_EXCLUDES(m_mutex);

 private:
  // At most this many reports wait for their answers at once; the next one
  // leaves when one of them is done.
  static constexpr int kMaxInFlight = 8;
  // How long a report that has left may keep the next one waiting.
  static constexpr std::chrono::milliseconds kAnswerGrace{2000};

  void Loop() TW_EXCLUDES(m_mutex);
  void Send(const std::string& name) TW_EXCLUDES(m_mutex);

  CMutex m_mutex;
  std::condition_variable m_wake;     // the loop: a report queued, or stop
  std::condition_variable m_changed;  // waiters: a report left or ended
  std::deque<std::string> m_queue TW_GUARDED_BY(m_mutex);
  std::uint64_t m_queued TW_GUARDED_BY(m_mutex) = 0;  // reports ever queued
  std::uint64_t m_left TW_GUARDED_BY(m_mutex) = 0;    // of them, those that have left
  int m_inFlight TW_GUARDED_BY(m_mutex) = 0;          // left and not yet answered
  bool m_held TW_GUARDED_BY(m_mutex) = false;
  bool m_stop TW_GUARDED_BY(m_mutex) = false;
  std::thread m_thread;
};

// The process's reporter, started on first use and never destroyed.
CEventReporter& GetEventReporter();
