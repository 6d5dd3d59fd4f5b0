#pragma once
// "textex": a label that, when it cuts its text with an ellipsis at the end,
// shows the whole text as a tooltip while the pointer is over it. The
// "endEllipsis" attribute turns the ellipsis on.
#include <QLabel>

class SStaticEx : public QLabel {
  Q_OBJECT

 public:
  static constexpr const char* kClassName = "textex";

  explicit SStaticEx(QWidget* parent = nullptr);

  void SetEndEllipsis(bool on);
  bool EndEllipsis() const { return m_endEllipsis; }

 protected:
  bool event(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_endEllipsis = false;
};
