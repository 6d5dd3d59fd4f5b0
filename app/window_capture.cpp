#include "window_capture.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <ui/main_dlg.h>
#include <ui/sample_states.h>

void CaptureWindowIfAsked(CMainDlg& window) {
  const QString file = qEnvironmentVariable("TIDEWELL_SCREENSHOT");
  if (file.isEmpty()) return;
  ShowSampleState(window, qEnvironmentVariable("TIDEWELL_SCREENSHOT_STATE"));
  QTimer::singleShot(300, &window, [&window, file] {
    const bool saved = window.grab().save(file, "PNG");
    QApplication::exit(saved ? 0 : 1);
  });
}
