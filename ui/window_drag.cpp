#include <ui/window_drag.h>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWindow>

namespace {

bool IsControl(const QWidget* widget) {
  return qobject_cast<const QAbstractButton*>(widget) != nullptr ||
         qobject_cast<const QLineEdit*>(widget) != nullptr ||
         qobject_cast<const QComboBox*>(widget) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

}  // namespace

CWindowDragger::CWindowDragger(QWidget& window) : QObject(&window), m_window(window) {}

void CWindowDragger::AddHandle(QWidget* handle) {
  if (handle == nullptr || IsControl(handle)) return;
  handle->installEventFilter(this);
  for (QWidget* child : handle->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    AddHandle(child);
  }
}

bool CWindowDragger::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton) break;
      // The window system's move also snaps and works across screens; where
      // it is not offered (some X11 managers, offscreen) the pointer is followed.
      QWindow* handle = m_window.windowHandle();
      if (handle != nullptr && handle->startSystemMove()) return true;
      m_dragging = true;
      m_pressGlobal = mouse->globalPosition().toPoint();
      m_windowAtPress = m_window.pos();
      return true;
    }
    case QEvent::MouseMove: {
      if (!m_dragging) break;
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (!(mouse->buttons() & Qt::LeftButton)) {
        m_dragging = false;
        break;
      }
      m_window.move(m_windowAtPress + (mouse->globalPosition().toPoint() - m_pressGlobal));
      return true;
    }
    case QEvent::MouseButtonRelease:
      if (!m_dragging) break;
      m_dragging = false;
      return true;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}
