#include <ui/controls/image_controls.h>

#include <QPainter>
#include <QStyleOption>
#include <QSvgRenderer>

LoadImgWindow::LoadImgWindow(QWidget* parent) : QWidget(parent) {}

void LoadImgWindow::SetImage(const QString& source) {
  m_source = source;
  delete m_svg;
  m_svg = nullptr;
  m_pixmap = QPixmap();
  if (source.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
    m_svg = new QSvgRenderer(source, this);
  } else {
    m_pixmap = QPixmap(source);
  }
  updateGeometry();
  update();
}

QSize LoadImgWindow::sizeHint() const {
  if (m_svg != nullptr && m_svg->isValid()) return m_svg->defaultSize();
  return m_pixmap.isNull() ? QWidget::sizeHint() : m_pixmap.deviceIndependentSize().toSize();
}

void LoadImgWindow::paintEvent(QPaintEvent* event) {
  (void)event;
  QPainter painter(this);
  // Style-sheet backgrounds first, as a plain widget would draw them.
  QStyleOption option;
  option.initFrom(this);
  style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
  if (m_svg != nullptr && m_svg->isValid()) {
    m_svg->render(&painter, QRectF(rect()));
    return;
  }
  if (m_pixmap.isNull()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(rect(), m_pixmap);
}

LoadSImgBtn::LoadSImgBtn(QWidget* parent) : QPushButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setFlat(true);
}
