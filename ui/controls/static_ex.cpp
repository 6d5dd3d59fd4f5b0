#include <ui/controls/static_ex.h>

#include <QEnterEvent>
#include <QPainter>
#include <QStyle>

#include <ui/controls/control_attributes.h>

SStaticEx::SStaticEx(QWidget* parent) : QLabel(parent) {}

void SStaticEx::SetEndEllipsis(bool on) {
  m_endEllipsis = on;
  if (on) setWordWrap(false);
  update();
}

void SStaticEx::enterEvent(QEnterEvent* event) {
  // The text may have changed since the last time: the tooltip follows it.
  if (m_endEllipsis) setToolTip(text());
  event->accept();
}

void SStaticEx::paintEvent(QPaintEvent* event) {
  if (!m_endEllipsis || textFormat() == Qt::RichText) {
    QLabel::paintEvent(event);
    return;
  }
  // A frameless label's text, cut at the end when it does not fit.
  QPainter painter(this);
  drawFrame(&painter);
  const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
  const auto align =
      static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment()).toInt());
  style()->drawItemText(&painter, area, align, palette(), isEnabled(), shown, foregroundRole());
}

bool SStaticEx::event(QEvent* event) {
  const QString name = attr::ChangedPropertyName(event);
  if (attr::Is(name, "endEllipsis"))
    SetEndEllipsis(attr::ParseBool(property(name.toUtf8()).toString()));
  return QLabel::event(event);
}
