#include "guide_composer.h"

#include <QAbstractTextDocumentLayout>
#include <QPainterPath>
#include <QSvgRenderer>
#include <QTextDocument>

#include <memory>
#include <utility>

namespace {

QFont GuideFont(const QString& family, double points, bool bold = false) {
  QFont font(family);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// Body text style: generous leading for CJK, blue emphasis, light tables;
// %1 is the code font.
const char* const kBodyCss =
    "p { margin-top: 0; margin-bottom: 7pt; line-height: 155%; }"
    "li { margin-bottom: 4pt; line-height: 150%; }"
    "b { color: #123a9c; }"
    "code { font-family: '%1'; color: #0f4fa8; }"
    "th { background-color: #e8f0ff; color: #123a9c; font-weight: bold; }"
    "td, th { border: 0.5pt solid #c9d6ee; }";

}  // namespace

GuideComposer::GuideComposer(QPdfWriter& writer, QSvgRenderer* logo, GuideEdition edition)
    : writer_(writer),
      logo_(logo),
      edition_(std::move(edition)),
      dotsPerMm_(writer.resolution() / 25.4) {
  painter_.begin(&writer_);
  painter_.setRenderHint(QPainter::Antialiasing);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform);
  pageWidth_ = writer_.width();
  pageHeight_ = writer_.height();
  left_ = Mm(20);
  width_ = pageWidth_ - 2 * left_;
  top_ = Mm(26);
  bottom_ = pageHeight_ - Mm(20);
  y_ = top_;
}

GuideComposer::~GuideComposer() {
  if (painter_.isActive()) painter_.end();
}

void GuideComposer::NewPage() {
  writer_.newPage();
  ++pageNumber_;
  pageStarted_ = false;
  y_ = top_;
}

void GuideComposer::StartPageIfNeeded() {
  if (pageStarted_) return;
  pageStarted_ = true;
  DrawHeaderAndFooter();
}

void GuideComposer::EnsureRoom(double height) {
  StartPageIfNeeded();
  if (y_ + height > bottom_ && y_ > top_) {
    NewPage();
    StartPageIfNeeded();
  }
}

void GuideComposer::DrawHeaderAndFooter() {
  painter_.save();
  const double logoSize = Mm(7);
  const double headerY = Mm(9);
  double textX = left_;
  if (logo_ != nullptr && logo_->isValid()) {
    logo_->render(&painter_, QRectF(left_, headerY, logoSize, logoSize));
    textX += logoSize + Mm(2.5);
  }
  const QRectF headerBox(textX, headerY, left_ + width_ - textX, logoSize);
  painter_.setPen(guide_style::kDeepBlue);
  painter_.setFont(GuideFont(edition_.fontFamily, 9.5, true));
  painter_.drawText(headerBox, Qt::AlignLeft | Qt::AlignVCenter, edition_.headerLeft);
  painter_.setPen(guide_style::kMuted);
  painter_.setFont(GuideFont(edition_.fontFamily, 9));
  painter_.drawText(headerBox, Qt::AlignRight | Qt::AlignVCenter, edition_.headerRight);
  painter_.setPen(QPen(guide_style::kRule, Mm(0.35)));
  painter_.drawLine(QPointF(left_, headerY + logoSize + Mm(2.5)),
                    QPointF(left_ + width_, headerY + logoSize + Mm(2.5)));

  const double footerY = pageHeight_ - Mm(13);
  painter_.drawLine(QPointF(left_, footerY), QPointF(left_ + width_, footerY));
  painter_.setPen(guide_style::kMuted);
  painter_.setFont(GuideFont(edition_.fontFamily, 8.5));
  const QRectF footerBox(left_, footerY + Mm(1.5), width_, Mm(6));
  painter_.drawText(footerBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tidewell"));
  painter_.drawText(footerBox, Qt::AlignRight | Qt::AlignVCenter,
                    edition_.pageNumber.arg(pageNumber_));
  painter_.restore();
}

void GuideComposer::Heading(const QString& number, const QString& title, double keepWith) {
  const double height = Mm(15);
  EnsureRoom(height + Mm(keepWith));
  if (y_ > top_) y_ += Mm(4);
  painter_.save();
  const double badge = Mm(10);
  QPainterPath path;
  path.addRoundedRect(QRectF(left_, y_, badge, badge), Mm(2), Mm(2));
  painter_.fillPath(path, guide_style::kBlue);
  painter_.setPen(Qt::white);
  painter_.setFont(GuideFont(edition_.fontFamily, 15, true));
  painter_.drawText(QRectF(left_, y_, badge, badge), Qt::AlignCenter, number);
  painter_.setPen(guide_style::kInk);
  painter_.setFont(GuideFont(edition_.fontFamily, 17, true));
  painter_.drawText(QRectF(left_ + badge + Mm(4), y_, width_ - badge - Mm(4), badge),
                    Qt::AlignLeft | Qt::AlignVCenter, title);
  painter_.setPen(QPen(guide_style::kBlue, Mm(0.6)));
  painter_.drawLine(QPointF(left_, y_ + badge + Mm(2.5)),
                    QPointF(left_ + width_, y_ + badge + Mm(2.5)));
  painter_.restore();
  y_ += height;
}

namespace {

std::unique_ptr<QTextDocument> MakeDocument(QPdfWriter& writer, const GuideEdition& edition,
                                            const QString& html, double width) {
  auto document = std::make_unique<QTextDocument>();
  document->documentLayout()->setPaintDevice(&writer);
  document->setDocumentMargin(0);
  document->setDefaultFont(GuideFont(edition.fontFamily, 10.5));
  document->setDefaultStyleSheet(QString::fromLatin1(kBodyCss).arg(edition.codeFontFamily));
  document->setHtml(html);
  document->setTextWidth(width);
  return document;
}

}  // namespace

double GuideComposer::TextHeight(const QString& html, double width) const {
  return MakeDocument(writer_, edition_, html, width)->size().height();
}

void GuideComposer::DrawText(const QString& html, const QRectF& box) {
  auto document = MakeDocument(writer_, edition_, html, box.width());
  painter_.save();
  painter_.translate(box.topLeft());
  document->drawContents(&painter_);
  painter_.restore();
}

void GuideComposer::Text(const QString& html, double keepWith) {
  const double height = TextHeight(html, width_);
  EnsureRoom(height + Mm(keepWith));
  DrawText(html, QRectF(left_, y_, width_, height));
  y_ += height + Mm(1);
}

double GuideComposer::DrawFramedImage(const QImage& image, const QRectF& box) {
  if (image.isNull()) return 0;
  const double height = box.width() * image.height() / image.width();
  const QRectF target(box.left(), box.top(), box.width(), height);
  painter_.save();
  // A soft shadow and a hairline frame lift the screenshot off the page.
  for (int step = 3; step >= 1; --step) {
    QPainterPath shadow;
    shadow.addRoundedRect(
        target.translated(0, Mm(0.4) * step).adjusted(-Mm(0.3) * step, 0, Mm(0.3) * step, 0),
        Mm(1.5), Mm(1.5));
    painter_.fillPath(shadow, QColor(20, 40, 90, 14));
  }
  painter_.drawImage(target, image);
  painter_.setPen(QPen(guide_style::kRule, Mm(0.3)));
  painter_.setBrush(Qt::NoBrush);
  painter_.drawRect(target);
  painter_.restore();
  return height;
}

QString GuideComposer::NumberedCaption(const QString& caption) {
  return edition_.figureNumber.arg(++figureNumber_).arg(caption);
}

double GuideComposer::CaptionHeight(const QString& caption, double width) const {
  return TextHeight(QStringLiteral("<p align=\"center\" style=\"font-size:9pt; color:#64748b;\">") +
                        caption.toHtmlEscaped() + QStringLiteral("</p>"),
                    width);
}

void GuideComposer::DrawCaption(const QString& caption, double x, double y, double width) {
  DrawText(QStringLiteral("<p align=\"center\" style=\"font-size:9pt; color:#64748b;\">") +
               caption.toHtmlEscaped() + QStringLiteral("</p>"),
           QRectF(x, y, width, CaptionHeight(caption, width)));
}

void GuideComposer::Figure(const GuideFigure& figure, double widthShare) {
  if (figure.image.isNull()) return;
  const double width = width_ * widthShare;
  const QString caption = NumberedCaption(figure.caption);
  const double imageHeight = width * figure.image.height() / figure.image.width();
  const double height = imageHeight + Mm(3) + CaptionHeight(caption, width);
  EnsureRoom(height + Mm(3));
  y_ += Mm(2);
  const double x = left_ + (width_ - width) / 2;
  DrawFramedImage(figure.image, QRectF(x, y_, width, imageHeight));
  DrawCaption(caption, x, y_ + imageHeight + Mm(3), width);
  y_ += height + Mm(3);
}

void GuideComposer::Note(const QString& title, const QString& html, const QColor& accent) {
  const double pad = Mm(4.5);
  const QString body = QStringLiteral("<p style=\"font-size:11.5pt; font-weight:bold; color:%1;\">")
                           .arg(accent.name()) +
                       title.toHtmlEscaped() + QStringLiteral("</p>") + html;
  const double textWidth = width_ - 2 * pad - Mm(1.5);
  const double height = TextHeight(body, textWidth) + 2 * pad - Mm(2);
  EnsureRoom(height + Mm(3));
  y_ += Mm(1.5);
  painter_.save();
  QPainterPath box;
  box.addRoundedRect(QRectF(left_, y_, width_, height), Mm(2), Mm(2));
  QColor tint = accent;
  tint.setAlpha(22);
  painter_.fillPath(box, tint);
  painter_.setClipPath(box);
  painter_.fillRect(QRectF(left_, y_, Mm(1.5), height), accent);
  painter_.restore();
  DrawText(body, QRectF(left_ + Mm(1.5) + pad, y_ + pad, textWidth, height));
  y_ += height + Mm(3);
}
