#pragma once
// The two plain image controls layouts know by name: "Imgwindow", a widget
// that paints its "image" (a resource path) stretched over itself, and
// "ImgBtn2", a push button whose looks come from the style sheet.
#include <QPixmap>
#include <QPushButton>
#include <QWidget>

class QSvgRenderer;

class LoadImgWindow : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QString image READ Image WRITE SetImage)

 public:
  static constexpr const char* kClassName = "Imgwindow";

  explicit LoadImgWindow(QWidget* parent = nullptr);

  QString Image() const { return m_source; }
  void SetImage(const QString& source);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString m_source;
  QPixmap m_pixmap;               // raster images
  QSvgRenderer* m_svg = nullptr;  // vector images, drawn sharp at any size
};

class LoadSImgBtn : public QPushButton {
  Q_OBJECT

 public:
  static constexpr const char* kClassName = "ImgBtn2";

  explicit LoadSImgBtn(QWidget* parent = nullptr);
};
