#include "window_capture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTimer>
#include <QWidget>

namespace {

void SetText(QWidget& window, const char* name, const QString& text) {
  if (auto* label = window.findChild<QLabel*>(QLatin1String(name))) label->setText(text);
}

void ShowOnly(QWidget& window, const char* shown) {
  for (const char* stage :
       {"imgNoDownDeekSeek", "imgDownDeekSeek", "imgInstDeekSeek", "imgDownModeling"}) {
    if (auto* w = window.findChild<QWidget*>(QLatin1String(stage)))
      w->setVisible(qstrcmp(stage, shown) == 0);
  }
}

void SelectPage(QWidget& window, const char* stack, int page) {
  if (auto* w = window.findChild<QStackedWidget*>(QLatin1String(stack))) w->setCurrentIndex(page);
}

// Puts the window into one of its states with sample values, so each state
// can be looked at without running an installation.
void ShowState(QWidget& window, const QString& state) {
  if (state == QLatin1String("download")) {
    ShowOnly(window, "imgDownDeekSeek");
    SetText(window, "stageProgressTxt", QStringLiteral("安装包 42% · 已下载 512.0 MB / 1.19 GB"));
  } else if (state == QLatin1String("setup")) {
    ShowOnly(window, "imgInstDeekSeek");
    SetText(window, "stageProgressTxt", QStringLiteral("正在安装运行器…"));
  } else if (state == QLatin1String("model")) {
    ShowOnly(window, "imgDownModeling");
    SetText(window, "stageProgressTxt",
            QStringLiteral("63% · 693 MB / 1.1 GB · 8.2 MB/s · 剩余 2 分 10 秒"));
    SetText(window, "memInfoTxt",
            QStringLiteral("本机内存 16 GB，此模型建议 8 GB 以上：可以流畅运行。"));
  } else if (state == QLatin1String("runner")) {
    ShowOnly(window, "imgDownModeling");
    SetText(window, "stageProgressTxt",
            QStringLiteral("deepseek-r1:1.5b  正在启动模型运行程序，首次约需一分钟…"));
  } else if (state == QLatin1String("finished")) {
    SelectPage(window, "tab_pages2", 1);
    SetText(window, "modelstrTxt", QStringLiteral("已下载 deepseek-r1:1.5b"));
  } else if (state == QLatin1String("progress") || state == QLatin1String("models")) {
    auto* overlay = window.findChild<QStackedWidget*>(QStringLiteral("tab_Tip"));
    if (overlay == nullptr) return;
    overlay->setCurrentIndex(state == QLatin1String("progress") ? 0 : 1);
    overlay->show();
    if (auto* bar = window.findChild<QProgressBar*>(QStringLiteral("prog_value")))
      bar->setValue(42);
    SetText(window, "progTxtValue", QStringLiteral("(42 %)"));
    SetText(window, "progDetailTxt",
            QStringLiteral("已下载 512.0 MB / 1.19 GB · 6.4 MB/s · 剩余约 2 分钟"));
    if (state == QLatin1String("models")) {
      if (auto* b = window.findChild<QWidget*>(QStringLiteral("adked_btn2"))) b->hide();
      if (auto* box = window.findChild<QWidget*>(QStringLiteral("winProgress2"))) box->show();
      if (auto* b = window.findChild<QWidget*>(QStringLiteral("adked_btn1"))) b->setEnabled(false);
    }
  }
}

}  // namespace

void CaptureWindowIfAsked(QWidget& window) {
  const QString file = qEnvironmentVariable("TIDEWELL_SCREENSHOT");
  if (file.isEmpty()) return;
  ShowState(window, qEnvironmentVariable("TIDEWELL_SCREENSHOT_STATE"));
  QTimer::singleShot(300, &window, [&window, file] {
    const bool saved = window.grab().save(file, "PNG");
    QApplication::exit(saved ? 0 : 1);
  });
}
