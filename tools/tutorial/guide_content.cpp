#include "guide_content.h"

#include <QBuffer>
#include <QDir>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSvgRenderer>

#include <catalogue/model_catalogue.h>

#include "guide_composer.h"
#include "guide_words.h"

namespace {

using namespace guide_style;

// Where the assistant keeps things on the platform the guide is built for.
#ifdef Q_OS_WIN
const QString kWorkFolder = QStringLiteral("%LOCALAPPDATA%\\Tidewell");
const QString kSettingsPlace = QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Tidewell");
#else
const QString kWorkFolder = QStringLiteral("~/.local/share/Tidewell");
const QString kSettingsPlace = QStringLiteral("~/.config/Tidewell/registry");
#endif

// The working part of the window (form, stage image, requirements) without
// the banner, so that the stage is readable at print size.
QImage StageArea(const QImage& window) { return window.copy(30, 318, 758, 282); }
QImage ProgressDialog(const QImage& window) { return window.copy(127, 179, 564, 259); }
QImage ModelListDialog(const QImage& window) { return window.copy(65, 42, 688, 534); }

QString FromView(std::wstring_view text) {
  return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
}

struct GuideImages {
  QImage install, download, progress, setup, model, finished, models;
  bool Complete() const {
    return !install.isNull() && !download.isNull() && !progress.isNull() && !setup.isNull() &&
           !model.isNull() && !finished.isNull() && !models.isNull();
  }
};

// The window in one language: main_<state><suffix>.png.
GuideImages LoadScreenshots(const QString& folder, const QString& suffix) {
  const QDir dir(folder);
  auto load = [&dir, &suffix](const char* state) {
    return QImage(dir.filePath(QStringLiteral("main_%1%2.png").arg(QLatin1String(state), suffix)));
  };
  return {load("install"), load("download"), load("progress"), load("setup"),
          load("model"),   load("finished"), load("models")};
}

// One value of the catalogue's requirement line in the guide's words:
// "4核" and "非必须" are words, sizes are not.
QString RequirementValue(const QString& value, const GuideWords& words) {
  if (value == QStringLiteral("非必须")) return words.notNeeded;
  if (value.endsWith(QStringLiteral("核"))) return words.cores.arg(value.chopped(1));
  return value;
}

// "大小 1.10GB | CPU 4核 | ..." as table cells, the labels dropped.
QString ModelTableRows(const GuideWords& words) {
  QString rows;
  for (const ModelEntry& entry : ModelCatalogue()) {
    QString cells = QStringLiteral("<td><b>%1</b></td>").arg(FromView(entry.tag));
    const QStringList parts = FromView(entry.requirementText).split(QStringLiteral(" | "));
    for (const QString& part : parts) {
      const qsizetype space = part.indexOf(QLatin1Char(' '));
      const QString value = space < 0 ? part : part.mid(space + 1);
      cells += QStringLiteral("<td align=\"center\">%1</td>")
                   .arg(RequirementValue(value, words).toHtmlEscaped());
    }
    rows += QStringLiteral("<tr>%1</tr>").arg(cells);
  }
  return rows;
}

void DrawTitlePage(GuideComposer& guide, QSvgRenderer& banner, QSvgRenderer& logo,
                   const GuideImages& shots, const GuideWords& words, const QString& version) {
  QPainter& p = guide.Painter();
  const QRectF page = guide.PageRect();
  const double bannerHeight = page.width() * 241.0 / 800.0;
  banner.render(&p, QRectF(0, 0, page.width(), bannerHeight));

  // The banner carries the product's name and promise; the title goes below.
  p.save();
  QFont font(words.edition.fontFamily);
  font.setBold(true);
  font.setPointSizeF(32);
  p.setFont(font);
  p.setPen(kInk);
  const double titleTop = bannerHeight + guide.Mm(14);
  // The logo beside the title, the pair centred.
  const QString& title = words.title;
  const double logoSize = guide.Mm(15);
  const double gap = guide.Mm(5);
  const double titleWidth = QFontMetricsF(font, &guide.Writer()).horizontalAdvance(title);
  const double pairLeft = (page.width() - logoSize - gap - titleWidth) / 2;
  logo.render(&p, QRectF(pairLeft, titleTop + guide.Mm(1.5), logoSize, logoSize));
  p.drawText(QRectF(pairLeft + logoSize + gap, titleTop, titleWidth + guide.Mm(2), guide.Mm(18)),
             Qt::AlignLeft | Qt::AlignVCenter, title);
  font.setBold(false);
  font.setPointSizeF(12.5);
  p.setFont(font);
  p.setPen(kMuted);
  p.drawText(QRectF(0, titleTop + guide.Mm(20), page.width(), guide.Mm(8)), Qt::AlignCenter,
             words.subtitle);
  p.restore();

  // The window as the reader will first meet it.
  const double shotWidth = guide.Mm(140);
  const double shotHeight = shotWidth * shots.install.height() / shots.install.width();
  const QRectF shot((page.width() - shotWidth) / 2, titleTop + guide.Mm(36), shotWidth, shotHeight);
  p.save();
  for (int step = 4; step >= 1; --step) {
    QPainterPath shadow;
    shadow.addRoundedRect(
        shot.adjusted(-guide.Mm(0.5) * step, 0, guide.Mm(0.5) * step, guide.Mm(0.8) * step),
        guide.Mm(2), guide.Mm(2));
    p.fillPath(shadow, QColor(20, 40, 90, 12));
  }
  p.drawImage(shot, shots.install);
  p.restore();

  // What the guide covers, in two columns.
  p.save();
  const double listTop = shot.bottom() + guide.Mm(12);
  const double columnWidth = guide.Mm(70);
  const double listLeft = (page.width() - 2 * columnWidth) / 2;
  QFont listFont(words.edition.fontFamily);
  listFont.setPointSizeF(11);
  p.setFont(listFont);
  p.setPen(kBlue);
  listFont.setBold(true);
  p.setFont(listFont);
  p.drawText(QRectF(listLeft, listTop, 2 * columnWidth, guide.Mm(8)),
             Qt::AlignLeft | Qt::AlignVCenter, words.contentsHeading);
  listFont.setBold(false);
  p.setFont(listFont);
  p.setPen(kInk);
  for (qsizetype i = 0; i < words.chapters.size(); ++i) {
    const double x = listLeft + static_cast<double>(i % 2) * columnWidth;
    const double y = listTop + guide.Mm(10) + static_cast<double>(i / 2) * guide.Mm(7.5);
    p.drawText(QRectF(x, y, guide.Mm(7), guide.Mm(7)), Qt::AlignLeft | Qt::AlignVCenter,
               QString::number(i + 1));
    p.drawText(QRectF(x + guide.Mm(7), y, columnWidth - guide.Mm(7), guide.Mm(7)),
               Qt::AlignLeft | Qt::AlignVCenter, words.chapters[i]);
  }
  p.setPen(QPen(kRule, guide.Mm(0.35)));
  const double footerY = page.height() - guide.Mm(18);
  p.drawLine(QPointF(guide.Mm(20), footerY), QPointF(page.width() - guide.Mm(20), footerY));
  listFont.setPointSizeF(9);
  p.setFont(listFont);
  p.setPen(kMuted);
  p.drawText(QRectF(guide.Mm(20), footerY + guide.Mm(2), page.width() - guide.Mm(40), guide.Mm(7)),
             Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tidewell %1").arg(version));
  p.drawText(QRectF(guide.Mm(20), footerY + guide.Mm(2), page.width() - guide.Mm(40), guide.Mm(7)),
             Qt::AlignRight | Qt::AlignVCenter, words.readFirst);
  p.restore();
}

// The section number `index` (from 0) with its title.
void Heading(GuideComposer& guide, const GuideWords& words, int index, double keepWith = 60) {
  guide.Heading(QString::number(index + 1), words.chapters.value(index), keepWith);
}

void WriteSections(GuideComposer& guide, const GuideImages& shots, const GuideWords& w,
                   const QString& modelRows) {
  const QColor warn(0xd9, 0x77, 0x06);
  const QColor alert(0xdc, 0x26, 0x26);
  const QColor tip(0x05, 0x96, 0x69);

  Heading(guide, w, 0);
  guide.Text(w.about);

  Heading(guide, w, 1);
  guide.Text(w.chooseModel);
  guide.Text(w.modelTable.arg(modelRows));
  guide.Note(w.howToChoose.title, w.howToChoose.html, tip);
  guide.Figure({shots.install, w.installCaption}, 0.72);

  Heading(guide, w, 2);
  guide.Text(w.chooseFolder);

  Heading(guide, w, 3, 110);
  guide.Text(w.stagesIntro);
  guide.Text(w.stagePackage, 70);
  guide.Figure({StageArea(shots.download), w.packageCaption}, 0.82);
  guide.Figure({ProgressDialog(shots.progress), w.progressCaption}, 0.6);
  guide.Text(w.stageRunner, 70);
  guide.Figure({StageArea(shots.setup), w.runnerCaption}, 0.82);
  guide.Text(w.stageModel, 70);
  guide.Figure({StageArea(shots.model), w.modelCaption}, 0.82);
  guide.Text(w.stageClient);
  guide.Note(w.duringInstall.title, w.duringInstall.html, warn);

  Heading(guide, w, 4, 120);
  guide.Text(w.readyIntro);
  guide.Figure({shots.finished, w.readyCaption}, 0.72);
  guide.Text(w.readyActions);
  guide.Figure({ModelListDialog(shots.models), w.modelsCaption}, 0.58);

  Heading(guide, w, 5);
  guide.Text(w.filesTable.arg(w.defaultFolder, kWorkFolder, kSettingsPlace, w.settingsWhat));

  Heading(guide, w, 6);
  guide.Note(w.folderFailed.title, w.folderFailed.html, alert);
  guide.Note(w.networkFailed.title, w.networkFailed.html, alert);
  guide.Note(w.otherCases.title, w.otherCases.html, warn);
}

}  // namespace

QByteArray RenderGuidePdf(const GuideSources& sources, const GuideWords& words, int* pageCount) {
  const GuideImages shots = LoadScreenshots(sources.screenshotsFolder, words.screenshotSuffix);
  const QDir images(sources.imagesFolder);
  QSvgRenderer banner(images.filePath(words.bannerFile));
  QSvgRenderer logo(images.filePath(QStringLiteral("logo.svg")));
  if (!shots.Complete() || !banner.isValid() || !logo.isValid()) return {};

  QByteArray pdf;
  QBuffer buffer(&pdf);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setTitle(words.documentTitle);
    writer.setCreator(QStringLiteral("Tidewell"));
    writer.setResolution(300);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    GuideComposer guide(writer, &logo, words.edition);
    if (!guide.IsActive()) return {};
    DrawTitlePage(guide, banner, logo, shots, words, sources.version);
    guide.NewPage();
    WriteSections(guide, shots, words, ModelTableRows(words));
    if (pageCount != nullptr) *pageCount = guide.PageCount();
  }
  return pdf;
}
