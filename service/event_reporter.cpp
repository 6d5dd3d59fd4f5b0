#include <service/event_reporter.h>

#include <service/service_state.h>

CEventReporter::CEventReporter() : m_thread([this] { Loop(); }) {}

CEventReporter::~CEventReporter() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void CEventReporter::Report(const std::string& eventName) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(eventName);
  }
  m_wake.notify_one();
}

void CEventReporter::WaitIdle() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_idle.wait(lock, [this] { return m_queue.empty() && !m_busy; });
}

void CEventReporter::Loop() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
    if (m_queue.empty()) return;  // stopping with nothing left to send
    const std::string name = std::move(m_queue.front());
    m_queue.pop_front();
    m_busy = true;
    lock.unlock();
    GetServiceState().SendLogEvent(name);
    lock.lock();
    m_busy = false;
    if (m_queue.empty()) m_idle.notify_all();
  }
}

CEventReporter& GetEventReporter() {
  // Workers may report until the process ends: never destroyed.
  static CEventReporter* reporter = new CEventReporter();
  return *reporter;
}
