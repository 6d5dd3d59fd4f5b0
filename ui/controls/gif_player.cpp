#include <ui/controls/gif_player.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <climits>

#include <ui/controls/control_attributes.h>
#include <ui/controls/skin_ani.h>
#include <ui/controls/skin_pool.h>

SGifPlayer::SGifPlayer(QWidget* parent) : QWidget(parent) {
  // A player can be the thing to press (the install card): Tab reaches it.
  setFocusPolicy(Qt::StrongFocus);
}

SGifPlayer::~SGifPlayer() { StopTicking(); }

bool SGifPlayer::SetSkinByName(const QString& name) {
  SSkinAni* skin = CSkinPool::Instance().Find(name);
  if (skin == nullptr) return false;
  if (skin->IsClass(QString::fromLatin1(SSkinAni::kClassName))) SetSkin(skin);
  return true;
}

void SGifPlayer::SetSkin(SSkinAni* skin) {
  m_skin = skin;
  m_frame = 0;
  m_delayMs = DelayOfFrameMs(0);
  if (isVisible()) StartTicking();
  updateGeometry();
  update();
}

void SGifPlayer::SetText(const QString& text) {
  m_text = text;
  setAccessibleName(text);
}

bool SGifPlayer::IsOnTimeline() const {
  return m_timeline != nullptr && m_timeline->IsRegistered(this);
}

QSize SGifPlayer::sizeHint() const { return m_skin != nullptr ? m_skin->FrameSize() : QSize(0, 0); }

int SGifPlayer::DelayOfFrameMs(int frame) const {
  if (m_skin == nullptr) return kDefaultDelayMs;
  const int hundredths = m_skin->FrameDelay(frame);
  return hundredths > 0 ? hundredths * 10 : kDefaultDelayMs;
}

void SGifPlayer::StartTicking() {
  if (m_skin == nullptr || m_skin->FrameCount() <= 1) return;
  m_host = window();
  m_timeline = CTimeline::ForWindow(m_host);
  if (m_timeline != nullptr) m_timeline->Register(this);
}

void SGifPlayer::StopTicking() {
  if (m_timeline != nullptr) m_timeline->Unregister(this);
  m_timeline = nullptr;
}

void SGifPlayer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_skin == nullptr || m_skin->FrameCount() <= 1) return;
  StartTicking();
  m_delayMs = DelayOfFrameMs(m_frame);
}

void SGifPlayer::hideEvent(QHideEvent* event) {
  StopTicking();
  QWidget::hideEvent(event);
}

void SGifPlayer::OnNextFrame() {
  if (!isVisible() || m_host == nullptr || !m_host->isVisible()) return;
  m_delayMs -= CTimeline::kTickMs;
  if (m_delayMs >= 1) return;
  const int count = m_skin != nullptr ? m_skin->FrameCount() : 0;
  if (count <= 0) return;
  bool ended = false;
  if (m_repeat) {
    m_frame = (m_frame + 1) % count;
  } else if (m_frame + 1 < count) {
    ++m_frame;
  } else {
    // The end: stay on the last frame and never advance or fire again.
    ended = true;
    m_delayMs = INT_MAX;
  }
  update();
  if (ended) {
    emit gifPlayEnd(this);
    return;
  }
  m_delayMs = DelayOfFrameMs(m_frame);
}

void SGifPlayer::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (m_skin == nullptr) return;
  QPainter painter(this);
  // The skin is shared between players: draw this player's frame.
  m_skin->Draw(painter, rect(), m_frame);
  if (m_meterPercent < 0 || m_meterArea.isEmpty()) return;
  // The frames are stretched over the control: so is the meter.
  const QSize frame = m_skin->FrameSize();
  if (frame.isEmpty()) return;
  const double sx = width() / static_cast<double>(frame.width());
  const double sy = height() / static_cast<double>(frame.height());
  const QRectF track(m_meterArea.x() * sx, m_meterArea.y() * sy, m_meterArea.width() * sx,
                     m_meterArea.height() * sy);
  const double radius = track.height() / 2;
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xdd, 0xe7, 0xfa));
  painter.drawRoundedRect(track, radius, radius);
  const double filled = track.width() * m_meterPercent / 100.0;
  if (filled <= 0) return;
  QLinearGradient fill(track.topLeft(), track.topRight());
  fill.setColorAt(0, QColor(0x2a, 0x6b, 0xf2));
  fill.setColorAt(1, QColor(0x16, 0xb4, 0xc8));
  painter.setBrush(fill);
  painter.drawRoundedRect(
      QRectF(track.topLeft(), QSizeF(std::max(filled, track.height()), track.height())), radius,
      radius);
}

void SGifPlayer::SetMeter(const QRect& inFrame, int percent) {
  const int clamped = percent < 0 ? -1 : std::min(percent, 100);
  if (clamped == m_meterPercent && inFrame == m_meterArea) return;
  m_meterArea = inFrame;
  m_meterPercent = clamped;
  update();
}

void SGifPlayer::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
  QWidget::mouseReleaseEvent(event);
}

void SGifPlayer::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const bool press = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
  if (press && (event->modifiers() & ~Qt::KeypadModifier) == 0) {
    if (!event->isAutoRepeat()) emit clicked();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool SGifPlayer::event(QEvent* event) {
  const QString name = attr::ChangedPropertyName(event);
  if (attr::Is(name, "skin")) {
    SetSkinByName(property(name.toUtf8()).toString());
  } else if (attr::Is(name, "repeat")) {
    SetRepeat(attr::ParseBool(property(name.toUtf8()).toString()));
  }
  return QWidget::event(event);
}
