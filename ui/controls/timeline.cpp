#include <ui/controls/timeline.h>

#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {
const char* const kObjectName = "tidewell_timeline";
}

CTimeline* CTimeline::ForWindow(QWidget* window) {
  return Install(window, std::make_unique<CQTimerTickSource>());
}

CTimeline* CTimeline::Install(QWidget* window, std::unique_ptr<ITickSource> source) {
  if (window == nullptr) return nullptr;
  if (auto* existing =
          window->findChild<CTimeline*>(QLatin1String(kObjectName), Qt::FindDirectChildrenOnly)) {
    return existing;
  }
  return new CTimeline(window, std::move(source));
}

CTimeline::CTimeline(QWidget* window, std::unique_ptr<ITickSource> source)
    : QObject(window), m_source(std::move(source)) {
  setObjectName(QLatin1String(kObjectName));
}

CTimeline::~CTimeline() {
  if (m_running) m_source->Stop();
}

void CTimeline::Register(ITimelineHandler* handler) {
  if (handler == nullptr || IsRegistered(handler)) return;
  m_handlers.push_back(handler);
  if (!m_running) {
    m_running = true;
    m_source->Start([this] { Tick(); });
  }
}

void CTimeline::Unregister(ITimelineHandler* handler) {
  std::erase(m_handlers, handler);
  if (m_running && m_handlers.empty()) {
    m_running = false;
    m_source->Stop();
  }
}

bool CTimeline::IsRegistered(const ITimelineHandler* handler) const {
  return std::find(m_handlers.begin(), m_handlers.end(), handler) != m_handlers.end();
}

void CTimeline::Tick() {
  // A handler may unregister itself or another one while it runs.
  const std::vector<ITimelineHandler*> snapshot = m_handlers;
  for (ITimelineHandler* handler : snapshot) {
    if (IsRegistered(handler)) handler->OnNextFrame();
  }
}

CQTimerTickSource::CQTimerTickSource() : m_timer(std::make_unique<QTimer>()) {
  m_timer->setTimerType(Qt::PreciseTimer);
  m_timer->setInterval(CTimeline::kTickMs);
}

CQTimerTickSource::~CQTimerTickSource() = default;

void CQTimerTickSource::Start(std::function<void()> onTick) {
  QObject::disconnect(m_timer.get(), &QTimer::timeout, nullptr, nullptr);
  QObject::connect(m_timer.get(), &QTimer::timeout, std::move(onTick));
  m_timer->start();
}

void CQTimerTickSource::Stop() { m_timer->stop(); }
