// Renders the program's SVG artwork into the PNG sizes of the icon theme:
//   tidewell_render_icon SVG OUTPUT_FOLDER NAME SIZE...
// writes OUTPUT_FOLDER/<SIZE>x<SIZE>/apps/NAME.png for each size. Qt's own
// SVG renderer draws them, the one the window uses, so no other tool is
// needed; drawing into an image needs no display or application object.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: %s SVG OUTPUT_FOLDER NAME SIZE...\n", argv[0]);
    return 64;
  }
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const QDir output(QString::fromLocal8Bit(argv[2]));
  const QString name = QString::fromLocal8Bit(argv[3]);
  for (int i = 4; i < argc; ++i) {
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
    if (!ok || size < 1 || size > 4096) {
      std::fprintf(stderr, "not a size: %s\n", argv[i]);
      return 64;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      renderer.render(&painter, QRectF(0, 0, size, size));
    }
    const QString folder = QStringLiteral("%1x%1/apps").arg(size);
    // Written whole or not at all, so a broken build leaves no cut icon.
    QSaveFile file(output.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
    if (!output.mkpath(folder) || !file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") ||
        !file.commit()) {
      std::fprintf(stderr, "cannot write the %d px icon\n", size);
      return 1;
    }
  }
  return 0;
}
