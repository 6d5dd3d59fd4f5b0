// Builds the installation guide (PDF) in Chinese and English and packs both
// as the tutorial archive the assistant carries. Runs at build time, without
// a display:
//   tidewell_tutorial --images DIR --screenshots DIR --version V --output FILE.zip
//                     [--pdf-folder DIR]
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHashSeed>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include <catalogue/tutorial_guide.h>

#include "guide_composer.h"
#include "guide_content.h"
#include "guide_words.h"
#include "stable_pdf.h"
#include "zip_writer.h"

namespace {

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

struct Options {
  GuideSources sources;
  QString output;
  QString pdfFolder;
};

bool ParseOptions(const QStringList& args, Options* options) {
  if (args.size() % 2 == 0) return false;
  for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
    const QString& key = args[i];
    const QString& value = args[i + 1];
    if (key == QLatin1String("--images")) {
      options->sources.imagesFolder = value;
    } else if (key == QLatin1String("--screenshots")) {
      options->sources.screenshotsFolder = value;
    } else if (key == QLatin1String("--version")) {
      options->sources.version = value;
    } else if (key == QLatin1String("--output")) {
      options->output = value;
    } else if (key == QLatin1String("--pdf-folder")) {
      options->pdfFolder = value;
    } else {
      return false;
    }
  }
  return !options->output.isEmpty() && !options->sources.imagesFolder.isEmpty() &&
         !options->sources.screenshotsFolder.isEmpty();
}

}  // namespace

int main(int argc, char** argv) {
  // Same sources, same bytes: Qt's hashes decide the order of the PDF's font
  // objects, and the local time zone the form of its date stamp.
  QHashSeed::setDeterministicGlobalSeed();
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  QGuiApplication app(argc, argv);
  Options options;
  if (!ParseOptions(QGuiApplication::arguments(), &options)) {
    return Fail(
        "usage: --images DIR --screenshots DIR --version V --output FILE [--pdf-folder DIR]");
  }
  // Without its fonts a guide would be boxes, or another font's metrics:
  // better no build than that.
  const QStringList families = QFontDatabase::families();
  for (const GuideWords* words : {&ChineseGuideWords(), &EnglishGuideWords()}) {
    for (const QString& family : {words->edition.fontFamily, words->edition.codeFontFamily}) {
      if (!families.contains(family)) {
        std::fprintf(stderr, "tidewell_tutorial: font \"%s\" is not installed\n",
                     family.toUtf8().constData());
        return 1;
      }
    }
  }

  const std::pair<const char*, const GuideWords*> editions[] = {
      {kTutorialGuideChinese, &ChineseGuideWords()},
      {kTutorialGuideEnglish, &EnglishGuideWords()}};
  std::vector<ZipFileToWrite> entries;
  for (const auto& [name, words] : editions) {
    int pages = 0;
    QByteArray pdf = RenderGuidePdf(options.sources, *words, &pages);
    if (pdf.isEmpty()) return Fail("could not render the guide (missing screenshot or artwork?)");
    if (!MakePdfStable(pdf)) return Fail("unexpected PDF layout: cannot pin its date and ids");
    if (!options.pdfFolder.isEmpty() &&
        !SaveFile(QDir(options.pdfFolder).filePath(QString::fromUtf8(name)), pdf)) {
      return Fail("cannot write the PDF copy");
    }
    std::printf("tutorial: %s: %d pages, PDF %lld bytes\n", name, pages,
                static_cast<long long>(pdf.size()));
    entries.push_back({name, pdf.toStdString(), 0600});
  }

  const std::optional<std::string> zip =
      WriteZip(entries, MakeZipTimestamp(2025, 2, 14, 0, 0, 0));
  if (!zip) return Fail("could not pack the guide");
  if (!SaveFile(options.output, QByteArray(zip->data(), static_cast<qsizetype>(zip->size())))) {
    return Fail("cannot write the archive");
  }
  std::printf("tutorial: archive %zu bytes\n", zip->size());
  return 0;
}
