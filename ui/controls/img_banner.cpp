#include <ui/controls/img_banner.h>

#include <QAbstractButton>
#include <QTimer>

#include <ui/controls/control_attributes.h>
#include <ui/controls/skin_ani.h>
#include <ui/controls/skin_pool.h>

SImgBanner::SImgBanner(QWidget* parent) : QStackedWidget(parent), m_changeTimer(new QTimer(this)) {
  connect(m_changeTimer, &QTimer::timeout, this, &SImgBanner::Advance);
  connect(this, &QStackedWidget::currentChanged, this, &SImgBanner::OnPageChanged);
}

SImgBanner::~SImgBanner() { m_changeTimer->stop(); }

void SImgBanner::SetIndicator(int page, QAbstractButton* indicator) {
  if (page < 0 || indicator == nullptr) return;
  if (static_cast<std::size_t>(page) >= m_indicators.size()) {
    m_indicators.resize(static_cast<std::size_t>(page) + 1, nullptr);
  }
  m_indicators[static_cast<std::size_t>(page)] = indicator;
  indicator->setParent(this);
  indicator->setCheckable(true);
  indicator->setAutoExclusive(true);
  connect(indicator, &QAbstractButton::toggled, this, [this, page](bool checked) {
    if (checked && !m_suppressFeedback) setCurrentIndex(page);
  });
  indicator->show();
  LayoutIndicators();
}

QAbstractButton* SImgBanner::Indicator(int page) const {
  if (page < 0 || static_cast<std::size_t>(page) >= m_indicators.size()) return nullptr;
  return m_indicators[static_cast<std::size_t>(page)];
}

void SImgBanner::SetIndicatorSkin(SSkinAni* skin) {
  m_skin = skin;
  LayoutIndicators();
}

void SImgBanner::SetChangeInterval(int ms) {
  m_changeInterval = ms;
  if (ms > 0) {
    m_changeTimer->start(ms);
  } else {
    m_changeTimer->stop();
  }
}

bool SImgBanner::IsChangeTimerActive() const { return m_changeTimer->isActive(); }

void SImgBanner::LayoutIndicators() {
  std::vector<QAbstractButton*> present;
  for (QAbstractButton* indicator : m_indicators) {
    if (indicator != nullptr) present.push_back(indicator);
  }
  const int n = static_cast<int>(present.size());
  if (n < 2 || m_skin == nullptr) return;
  // Logical pixels: Qt applies the screen's scale itself.
  const QSize size = m_skin->FrameSize();
  const int w = size.width();
  const int total = n * w + (n - 1) * m_gap;
  const int x0 = (width() - total) / 2;
  for (int i = 0; i < n; ++i) {
    present[static_cast<std::size_t>(i)]->setGeometry(x0 + (m_gap + w) * i, m_top, w,
                                                      size.height());
    present[static_cast<std::size_t>(i)]->raise();
  }
}

void SImgBanner::Advance() {
  if (count() == 0) return;
  setCurrentIndex((currentIndex() + 1) % count());
}

void SImgBanner::OnPageChanged(int index) {
  // The new page comes to the front; the indicators stay above it.
  for (QAbstractButton* each : m_indicators) {
    if (each != nullptr) each->raise();
  }
  QAbstractButton* indicator = Indicator(index);
  if (indicator == nullptr) return;
  m_suppressFeedback = true;
  indicator->setChecked(true);
  m_suppressFeedback = false;
}

void SImgBanner::resizeEvent(QResizeEvent* event) {
  QStackedWidget::resizeEvent(event);
  LayoutIndicators();
}

bool SImgBanner::event(QEvent* event) {
  const QString name = attr::ChangedPropertyName(event);
  if (!name.isEmpty()) {
    const QString value = property(name.toUtf8()).toString();
    if (attr::Is(name, "RadioInter")) {
      if (auto gap = attr::ParseLayoutSize(value)) SetIndicatorGap(*gap);
    } else if (attr::Is(name, "RadioTop")) {
      if (auto top = attr::ParseLayoutSize(value)) SetIndicatorTop(*top);
    } else if (attr::Is(name, "RadioSkin")) {
      SetIndicatorSkin(CSkinPool::Instance().Find(value));
    } else if (attr::Is(name, "ChangeInter")) {
      if (auto interval = attr::ParseInt(value)) SetChangeInterval(*interval);
    }
  }
  return QStackedWidget::event(event);
}
