#include <service/event_reporter.h>

#include <config/usage_reports.h>
#include <service/service_state.h>

CEventReporter::CEventReporter() : m_thread([this] { Loop(); }) {}

CEventReporter::~CEventReporter() {
  {
    CMutexLock lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
  // Requests still waiting for their answers hold no reference to us once
  // they are done; wait for them so none outlives the reporter.
  CMutexLock lock(m_mutex);
  lock.Wait(m_changed, [this]() TW_REQUIRES(m_mutex) { return m_inFlight == 0; });
}

void CEventReporter::Report(const std::string& eventName) {
  if (!UsageReportsAllowed()) return;
  {
    CMutexLock lock(m_mutex);
    m_queue.push_back(eventName);
    ++m_queued;
  }
  m_wake.notify_one();
}

void CEventReporter::Hold() {
  CMutexLock lock(m_mutex);
  m_held = true;
}

void CEventReporter::Release() {
  {
    CMutexLock lock(m_mutex);
    if (!m_held) return;
    m_held = false;
  }
  m_wake.notify_one();
  m_changed.notify_all();
}

void CEventReporter::DropHeld() {
  {
    CMutexLock lock(m_mutex);
    if (!m_held) return;
    m_held = false;
    // Forgotten reports count as gone, so no one waits for them.
    m_left += m_queue.size();
    m_queue.clear();
  }
  m_changed.notify_all();
}

void CEventReporter::WaitSent() {
  CMutexLock lock(m_mutex);
  const std::uint64_t target = m_queued;
  lock.Wait(m_changed, [this, target]() TW_REQUIRES(m_mutex) {
    // Reports held back are still in the queue; every other one has left.
    return m_left + (m_held ? m_queue.size() : 0) >= target;
  });
}

void CEventReporter::WaitIdle() {
  CMutexLock lock(m_mutex);
  lock.Wait(m_changed, [this]() TW_REQUIRES(m_mutex) {
    return (m_queue.empty() || m_held) && m_inFlight == 0;
  });
}

void CEventReporter::Send(const std::string& name) {
  bool left = false;
  auto markLeft = [this, &left]() TW_EXCLUDES(m_mutex) {
    CMutexLock lock(m_mutex);
    if (left) return;
    left = true;
    ++m_left;
    m_changed.notify_all();
  };
  // Asked again at the last moment: the switch may have been turned off
  // while this report waited its turn.
  if (UsageReportsAllowed()) GetServiceState().SendLogEvent(name, markLeft);
  markLeft();  // a request that never reached the wire has left too
  CMutexLock lock(m_mutex);
  --m_inFlight;
  m_changed.notify_all();
}

void CEventReporter::Loop() {
  CMutexLock lock(m_mutex);
  for (;;) {
    lock.Wait(m_wake,
              [this]() TW_REQUIRES(m_mutex) { return m_stop || (!m_held && !m_queue.empty()); });
    // Stopping with nothing left to send, or only reports held back (they
    // never leave).
    if (m_queue.empty() || m_held) return;
    lock.Wait(m_changed, [this]() TW_REQUIRES(m_mutex) { return m_inFlight < kMaxInFlight; });
    if (m_held || m_queue.empty()) continue;  // held meanwhile
    const std::string name = std::move(m_queue.front());
    m_queue.pop_front();
    const std::uint64_t before = m_left;
    ++m_inFlight;
    // Each request waits for its answer on a thread of its own. The next
    // report leaves once this one has been answered, so that a service sees
    // them in order on one connection after another; a service that is slow
    // to answer gets a short grace, then the next one goes anyway.
    std::thread([this, name] { Send(name); }).detach();
    lock.Wait(m_changed, [this, before]() TW_REQUIRES(m_mutex) { return m_left > before; });
    lock.WaitFor(m_changed, kAnswerGrace,
                 [this]() TW_REQUIRES(m_mutex) { return m_inFlight == 0; });
  }
}

CEventReporter& GetEventReporter() {
  // Workers may report until the process ends: never destroyed.
  static CEventReporter* reporter = new CEventReporter();
  return *reporter;
}
