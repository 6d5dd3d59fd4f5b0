#include <service/event_reporter.h>

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
  {
    CMutexLock lock(m_mutex);
    m_queue.push_back(eventName);
    ++m_queued;
  }
  m_wake.notify_one();
}

void CEventReporter::WaitSent() {
  CMutexLock lock(m_mutex);
  const std::uint64_t target = m_queued;
  lock.Wait(m_changed, [this, target]() TW_REQUIRES(m_mutex) { return m_left >= target; });
}

void CEventReporter::WaitIdle() {
  CMutexLock lock(m_mutex);
  lock.Wait(m_changed, [this]() TW_REQUIRES(m_mutex) {
    return m_queue.empty() && m_left == m_queued && m_inFlight == 0;
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
  GetServiceState().SendLogEvent(name, markLeft);
  markLeft();  // a request that never reached the wire has left too
  CMutexLock lock(m_mutex);
  --m_inFlight;
  m_changed.notify_all();
}

void CEventReporter::Loop() {
  CMutexLock lock(m_mutex);
  for (;;) {
    lock.Wait(m_wake, [this]() TW_REQUIRES(m_mutex) { return m_stop || !m_queue.empty(); });
    if (m_queue.empty()) return;  // stopping with nothing left to send
    lock.Wait(m_changed, [this]() TW_REQUIRES(m_mutex) { return m_inFlight < kMaxInFlight; });
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
