#pragma once
// The installation guide itself: title page and sections, written as a PDF.
#include <QByteArray>
#include <QString>

struct GuideSources {
  QString imagesFolder;       // the product artwork (SVG)
  QString screenshotsFolder;  // the main window in each state (PNG)
  QString version;            // shown on the title page
};

struct GuideWords;

// The guide in `words`' language as PDF bytes, or empty when an image is
// missing or the writer fails. `pageCount` receives the number of pages.
QByteArray RenderGuidePdf(const GuideSources& sources, const GuideWords& words,
                          int* pageCount = nullptr);
