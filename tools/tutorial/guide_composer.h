#pragma once
// Lays out an A4 guide on a PDF writer: a running header and page number on
// every inner page, and blocks (headings, rich text, figures, notes) that
// flow down the page and move to the next one when they do not fit.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QString>

#include "guide_words.h"

class QSvgRenderer;

struct GuideFigure {
  QImage image;
  QString caption;
};

class GuideComposer {
 public:
  // The header shows the logo and the two texts; the logo may be null.
  GuideComposer(QPdfWriter& writer, QSvgRenderer* logo, GuideEdition edition);
  ~GuideComposer();
  GuideComposer(const GuideComposer&) = delete;
  GuideComposer& operator=(const GuideComposer&) = delete;

  bool IsActive() const { return painter_.isActive(); }
  QPainter& Painter() { return painter_; }
  QPdfWriter& Writer() { return writer_; }
  QRectF PageRect() const { return {0, 0, pageWidth_, pageHeight_}; }
  double Mm(double millimetres) const { return millimetres * dotsPerMm_; }

  // Ends the current page; the next block starts at the top of a new one.
  void NewPage();
  // A numbered section heading, kept with at least `keepWith` mm below it.
  void Heading(const QString& number, const QString& title, double keepWith = 60);
  // Rich text (Qt's HTML subset) across the text column, kept on one page
  // with at least `keepWith` mm of what follows.
  void Text(const QString& html, double keepWith = 0);
  // One figure, `widthShare` of the column wide, centred, framed, captioned.
  void Figure(const GuideFigure& figure, double widthShare = 0.75);
  // A tinted box with a bold title line and rich text.
  void Note(const QString& title, const QString& html, const QColor& accent);
  int PageCount() const { return pageNumber_; }

 private:
  void StartPageIfNeeded();
  void EnsureRoom(double height);
  double TextHeight(const QString& html, double width) const;
  void DrawText(const QString& html, const QRectF& box);
  double DrawFramedImage(const QImage& image, const QRectF& box);
  QString NumberedCaption(const QString& caption);
  double CaptionHeight(const QString& caption, double width) const;
  void DrawCaption(const QString& caption, double x, double y, double width);
  void DrawHeaderAndFooter();

  QPdfWriter& writer_;
  QPainter painter_;
  QSvgRenderer* logo_;
  GuideEdition edition_;
  double dotsPerMm_;
  double pageWidth_;
  double pageHeight_;
  double left_;
  double width_;
  double top_;
  double bottom_;
  double y_ = 0;
  int pageNumber_ = 1;
  int figureNumber_ = 0;
  bool pageStarted_ = false;
};

// Colours shared by the title page and the body.
namespace guide_style {
inline const QColor kBlue{0x1f, 0x5f, 0xe0};
inline const QColor kDeepBlue{0x12, 0x3a, 0x9c};
inline const QColor kInk{0x1e, 0x29, 0x3b};
inline const QColor kMuted{0x64, 0x74, 0x8b};
inline const QColor kRule{0xd6, 0xe0, 0xf0};
}  // namespace guide_style
