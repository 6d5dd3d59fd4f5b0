#pragma once
// The installation guide itself: title page and sections, written as a PDF.
#include <QByteArray>
#include <QString>

struct GuideSources {
  QString imagesFolder;       // the product artwork (SVG)
  QString screenshotsFolder;  // the main window in each state (PNG)
  QString version;            // shown on the title page
};

// The guide as PDF bytes, or empty when an image is missing or the writer
// fails. `pageCount` receives the number of pages written.
QByteArray RenderGuidePdf(const GuideSources& sources, int* pageCount = nullptr);
