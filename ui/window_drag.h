#pragma once
// Moves a frameless window when the pointer drags one of its handles (the
// caption bar and the plain pictures and texts on it): by the window
// system's own move where it offers one, otherwise by following the pointer.
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class CWindowDragger : public QObject {
 public:
  explicit CWindowDragger(QWidget& window);

  // A press on `handle` starts a drag; so does one on any of its children
  // that is not a control of its own (buttons keep their clicks).
  void AddHandle(QWidget* handle);

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& m_window;
  bool m_dragging = false;
  QPoint m_pressGlobal;
  QPoint m_windowAtPress;
};
