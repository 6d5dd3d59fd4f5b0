#include <ui/controls/skin_ani.h>

#include <qdrawutil.h>
#include <QPainter>
#include <QPixmap>
#include <QStringList>

#include <ui/controls/control_attributes.h>

bool SSkinAni::IsClass(const QString& className) const { return attr::Is(className, kClassName); }

bool SSkinAni::SetAttribute(const QString& name, const QString& value) {
  if (attr::Is(name, "margin")) {
    // Four integers; missing ones stay 0, as a scanf of "%d,%d,%d,%d" leaves them.
    int v[4] = {0, 0, 0, 0};
    const QStringList parts = value.split(QLatin1Char(','));
    for (int i = 0; i < 4 && i < parts.size(); ++i) {
      bool ok = false;
      const int n = parts[i].trimmed().toInt(&ok);
      if (!ok) break;
      v[i] = n;
    }
    m_margins = QMargins(v[0], v[1], v[2], v[3]);
    return true;
  }
  if (attr::Is(name, "margin2")) {
    const QStringList parts = value.split(QLatin1Char(','));
    if (parts.size() != 4) return false;
    int v[4];
    for (int i = 0; i < 4; ++i) {
      const auto size = attr::ParseLayoutSize(parts[i]);
      if (!size) return false;
      v[i] = *size;
    }
    m_margins = QMargins(v[0], v[1], v[2], v[3]);
    return true;
  }
  if (attr::Is(name, "tile")) {
    m_tile = attr::ParseBool(value);
    return true;
  }
  if (attr::Is(name, "filterLevel")) {
    static const char* const kLevels[] = {"none", "low", "medium", "high"};
    for (int i = 0; i < 4; ++i) {
      if (attr::Is(value.trimmed(), kLevels[i])) {
        m_filterLevel = i;
        return true;
      }
    }
    return false;
  }
  return false;
}

void SSkinAni::SelectFrame(int index) {
  if (m_frameCount > 1 && index >= 0 && index < m_frameCount) m_currentFrame = index;
}

void SSkinAni::Draw(QPainter& painter, const QRect& target, int state, qreal alpha) {
  if (state != -1) SelectFrame(state);
  DrawFrame(painter, target, m_currentFrame, alpha);
}

void SSkinAni::SetFrameCount(int count) {
  m_frameCount = count;
  m_currentFrame = 0;
}

void SSkinAni::DrawFrame(QPainter& painter, const QRect& target, int index, qreal alpha) const {
  const QImage* image = FrameImage(index);
  if (image == nullptr || image->isNull() || target.isEmpty()) return;
  painter.save();
  painter.setOpacity(painter.opacity() * alpha);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, m_filterLevel >= kFilterMedium);
  if (m_margins.isNull() && !m_tile) {
    painter.drawImage(target, *image);
  } else {
    // Corners keep their size; edges and centre stretch or repeat.
    const Qt::TileRule rule = m_tile ? Qt::RepeatTile : Qt::StretchTile;
    qDrawBorderPixmap(&painter, target, m_margins, QPixmap::fromImage(*image), image->rect(),
                      m_margins, QTileRules(rule, rule));
  }
  painter.restore();
}
