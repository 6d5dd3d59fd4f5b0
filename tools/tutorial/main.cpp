// Builds the installation guide (PDF) and packs it as the tutorial archive
// the assistant carries. Runs at build time, without a display:
//   tidewell_tutorial --images DIR --screenshots DIR --version V --output FILE.zip [--pdf FILE]
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHashSeed>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "guide_composer.h"
#include "guide_content.h"
#include "stable_pdf.h"
#include "zip_writer.h"

namespace {

// The one entry of the archive, as the assistant opens it after unpacking.
constexpr const char* kGuideEntryName = "安装教程(必读).pdf";

bool SaveFile(const QString& path, const QByteArray& data) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(data);
  return file.commit();
}

int Fail(const char* message) {
  std::fprintf(stderr, "tidewell_tutorial: %s\n", message);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Same sources, same bytes: Qt's hashes decide the order of the PDF's font
  // objects, and the local time zone the form of its date stamp.
  QHashSeed::setDeterministicGlobalSeed();
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  QGuiApplication app(argc, argv);
  const QStringList args = QGuiApplication::arguments();
  GuideSources sources;
  QString output;
  QString pdfCopy;
  for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
    const QString& key = args[i];
    const QString& value = args[i + 1];
    if (key == QLatin1String("--images")) {
      sources.imagesFolder = value;
    } else if (key == QLatin1String("--screenshots")) {
      sources.screenshotsFolder = value;
    } else if (key == QLatin1String("--version")) {
      sources.version = value;
    } else if (key == QLatin1String("--output")) {
      output = value;
    } else if (key == QLatin1String("--pdf")) {
      pdfCopy = value;
    } else {
      return Fail("unknown option");
    }
  }
  if (args.size() % 2 == 0 || output.isEmpty() || sources.imagesFolder.isEmpty() ||
      sources.screenshotsFolder.isEmpty()) {
    return Fail("usage: --images DIR --screenshots DIR --version V --output FILE [--pdf FILE]");
  }
  // Without the CJK font the guide would be boxes: better no build than that.
  if (!QFontDatabase::families().contains(guide_style::kFontFamily)) {
    return Fail("font \"WenQuanYi Micro Hei\" is not installed (fonts-wqy-microhei)");
  }

  int pages = 0;
  QByteArray pdf = RenderGuidePdf(sources, &pages);
  if (pdf.isEmpty()) return Fail("could not render the guide (missing screenshot or artwork?)");
  if (!MakePdfStable(pdf)) return Fail("unexpected PDF layout: cannot pin its date and ids");
  if (!pdfCopy.isEmpty() && !SaveFile(pdfCopy, pdf)) return Fail("cannot write the PDF copy");

  const std::optional<std::string> zip =
      WriteZip({{kGuideEntryName, pdf.toStdString()}}, MakeZipTimestamp(2025, 2, 14, 0, 0, 0));
  if (!zip) return Fail("could not pack the guide");
  if (!SaveFile(output, QByteArray(zip->data(), static_cast<qsizetype>(zip->size())))) {
    return Fail("cannot write the archive");
  }
  std::printf("tutorial: %d pages, PDF %lld bytes, archive %zu bytes\n", pages,
              static_cast<long long>(pdf.size()), zip->size());
  return 0;
}
