#include <ui/sample_states.h>

#include <QAbstractButton>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QWidget>

#include <install/install_view.h>
#include <ui/main_dlg.h>

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

// A pull well under way, with every figure the texts can show.
PullProgress SamplePull() {
  PullProgress pull;
  pull.phase = PullPhase::Pulling;
  pull.percent = 63;
  pull.doneBytes = 693'000'000;
  pull.totalBytes = 1'100'000'000;
  pull.bytesPerSecond = 8'200'000;
  pull.secondsLeft = 130;
  return pull;
}

void SelectPage(QWidget& window, const char* stack, int page) {
  if (auto* w = window.findChild<QStackedWidget*>(QLatin1String(stack))) w->setCurrentIndex(page);
}

}  // namespace

QStringList SampleStateNames() {
  return {QStringLiteral("download"), QStringLiteral("setup"),    QStringLiteral("model"),
          QStringLiteral("runner"),   QStringLiteral("finished"), QStringLiteral("progress"),
          QStringLiteral("models")};
}

void ShowSampleState(CMainDlg& window, const QString& state) {
  if (state == QLatin1String("download")) {
    ShowOnly(window, "imgDownDeekSeek");
    SetText(window, "stageProgressTxt", QStringLiteral("安装包 42% · 已下载 512.0 MB / 1.19 GB"));
  } else if (state == QLatin1String("setup")) {
    ShowOnly(window, "imgInstDeekSeek");
    SetText(window, "stageProgressTxt", QStringLiteral("正在安装运行器…"));
  } else if (state == QLatin1String("model")) {
    ShowOnly(window, "imgDownModeling");
    window.ShowPullProgress(0, SamplePull());
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
      window.ShowPullProgress(2, SamplePull());
    }
  }
}
