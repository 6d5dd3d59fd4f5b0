#include <ui/sample_states.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QStackedWidget>
#include <QWidget>

#include <base/text_helpers.h>
#include <install/install_view.h>
#include <ui/main_dlg.h>
#include <ui/manage_dialogs.h>
#include <ui/manage_page.h>
#include <ui/usage_switch.h>

namespace {

std::wstring W(const char* context, const char* text) {
  return QCoreApplication::translate(context, text).toStdWString();
}

// One of the engine's own texts, in the window's language, filled in as
// the engine fills it: the samples stay what the program says.
template <typename... Args>
std::wstring Filled(const char* context, const char* format, Args... args) {
  return FormatWString(W(context, format).c_str(), args...);
}

// A model's line in a report, as repair and an update write it.
QString AnswerReportLine(const wchar_t* model, const wchar_t* seconds) {
  return QString::fromStdWString(
      Filled("InstallSteps", "%ls：%ls", model,
             Filled("FirstAnswer", "首次回答用时 %ls 秒", seconds).c_str()));
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

InstalledPart Part(const char* path, std::uint64_t bytes) {
  return InstalledPart{QString::fromUtf8(path).toStdWString(), true, bytes};
}

// A complete installation with three models, the chat client on one of them.
InstalledStatus SampleInstallation() {
  InstalledStatus status;
  status.runner = Part("/home/lin/AlTidewell/ollama_location", 4'312'000'000);
  status.runnerProgram = true;
  status.runnerVersion = "0.5.7";
  status.serverAnswers = true;
  status.chatClientVersion = "1.9.8";
  status.modelStore = Part("/home/lin/AlTidewell/ollama_models", 10'468'000'000);
  status.modelsListed = true;
  status.models = {
      {"deepseek-r1:1.5b", 1'117'320'020, "2025-02-14T10:21:07.61+08:00", false},
      {"deepseek-r1:7b", 4'683'075'271, "2025-02-16T19:02:44.12+08:00", true},
      {"deepseek-r1:8b", 4'920'753'328, "2025-03-02T08:45:51.90+08:00", false},
  };
  status.chatClient = Part("/home/lin/AlTidewell/chatbox_location", 412'800'000);
  status.package = Part("/home/lin/.local/share/Tidewell/deepseek.zip", 1'277'000'000);
  status.settings = Part("/home/lin/.config/Tidewell", 24'576);
  status.work = Part("/home/lin/.local/share/Tidewell", 3'145'728);
  status.totalBytes = status.runner.bytes + status.modelStore.bytes + status.chatClient.bytes +
                      status.package.bytes + status.settings.bytes + status.work.bytes;
  return status;
}

QStringList SampleRepairLines() {
  return {QCoreApplication::translate("SampleStates", "安装包：完好"),
          QCoreApplication::translate("SampleStates",
                                      "运行程序 Ollama：缺少 ollama，已从安装包重新安装"),
          QCoreApplication::translate("SampleStates", "模型存放目录：完好"),
          QCoreApplication::translate("SampleStates", "模型服务：已启动，正在应答"),
          QCoreApplication::translate("SampleStates", "聊天客户端 Chatbox：完好"),
          QCoreApplication::translate("SampleStates",
                                      "Chatbox 的设置：所选模型已不存在，已改为 deepseek-r1:7b"),
          QCoreApplication::translate("SampleStates", "开机启动：已重新登记"),
          AnswerReportLine(L"deepseek-r1:7b", L"3.1")};
}

QStringList SampleUpdateLines() {
  return {QCoreApplication::translate("SampleStates", "安装包：已下载并校验 1.2.0"),
          QCoreApplication::translate("SampleStates", "运行程序 Ollama：已安装 0.6.0"),
          QCoreApplication::translate("SampleStates", "聊天客户端 Chatbox：已安装 1.10.2"),
          AnswerReportLine(L"deepseek-r1:7b", L"3.4"),
          QString::fromStdWString(Filled(
              "PackageUpdate", "已更新到 %ls：Ollama 和 Chatbox 已替换，模型和聊天记录保持不变",
              L"1.2.0"))};
}

// A mid-range card that holds the models up to 14B.
std::vector<platform::GraphicsCard> SampleGraphicsCards() {
  platform::GraphicsCard card;
  card.vendor = platform::GraphicsVendor::Nvidia;
  card.name = "NVIDIA GeForce RTX 3060";
  card.memoryBytes = 12288ull << 20;
  return {card};
}

// The form as the engine leaves it at start-up, for a state to change.
EngineState Sample(CMainDlg& window) { return window.engine().state(); }

}  // namespace

QStringList SampleStateNames() {
  return {QStringLiteral("download"), QStringLiteral("setup"),    QStringLiteral("model"),
          QStringLiteral("runner"),   QStringLiteral("finished"), QStringLiteral("progress"),
          QStringLiteral("models"),   QStringLiteral("manage"),   QStringLiteral("uninstall"),
          QStringLiteral("repair"),   QStringLiteral("notice"),   QStringLiteral("local_package"),
          QStringLiteral("gpu"),      QStringLiteral("loading"),  QStringLiteral("not_answered"),
          QStringLiteral("update"),   QStringLiteral("updated")};
}

void ShowSampleState(CMainDlg& window, const QString& state) {
  // Only the first start shows the notice; every other state is a later one.
  if (CUsageSwitch* usage = window.usageSwitch()) {
    usage->ShowNotice(state == QLatin1String("notice"));
  }
  EngineState shown = Sample(window);
  if (state == QLatin1String("local_package")) {
    // A long name, shortened in the middle as the engine does.
    shown.localPackage = L"/home/lin/Downloads/deepseek-offline-2025-03.zip";
    shown.localPackageLine = W("SampleStates", "本地安装包：deepseek-of…025-03.zip");
  } else if (state == QLatin1String("download")) {
    shown.stage = InstallStage::Package;
    shown.installPull.line = W("SampleStates", "安装包 42% · 已下载 512.0 MB / 1.19 GB");
  } else if (state == QLatin1String("setup")) {
    shown.stage = InstallStage::Runner;
    shown.installPull.line = W("SampleStates", "正在安装运行器…");
  } else if (state == QLatin1String("model")) {
    shown.stage = InstallStage::Model;
    shown.installPull = CInstallEngine::DescribePull(0, "deepseek-r1:1.5b", SamplePull());
    shown.form.memoryLine =
        W("SampleStates", "本机内存 16 GB，此模型建议 8 GB 以上：可以流畅运行。");
  } else if (state == QLatin1String("runner")) {
    shown.stage = InstallStage::Model;
    shown.installPull.line =
        W("SampleStates", "deepseek-r1:1.5b  正在启动模型运行程序，首次约需一分钟…");
  } else if (state == QLatin1String("loading")) {
    shown.stage = InstallStage::Model;
    shown.installPull = CInstallEngine::DescribePull(0, "deepseek-r1:1.5b", SamplePull());
    shown.answer = {AnswerPhase::Loading,
                    Filled("FirstAnswer", "正在加载模型，第一次需要一些时间… %lld 秒", 12LL), {}};
  } else if (state == QLatin1String("finished")) {
    shown.stage = InstallStage::Ready;
    shown.readyModel = W("SampleStates", "已下载 deepseek-r1:1.5b");
    shown.answer = {AnswerPhase::Answered, Filled("FirstAnswer", "首次回答用时 %ls 秒", L"2.4"),
                    {}};
  } else if (state == QLatin1String("not_answered")) {
    // 7b on a machine whose free memory the runner finds too small.
    shown.stage = InstallStage::Ready;
    shown.readyModel = Filled("InstallEngine", "已下载 %ls", L"deepseek-r1:7b");
    shown.answer = {AnswerPhase::Failed, W("FirstAnswer", "内存不足，暂时无法回答"),
                    Filled("FirstAnswer",
                           "模型已下载，但本机可用内存不够运行它：它需要 %ls，现在只有 %ls 可用。"
                           "关闭一些程序后可以再试，或改用较小的模型。",
                           L"5.2 GiB", L"3.7 GiB")};
  } else if (state == QLatin1String("gpu")) {
    // The form with a card that holds the selected model.
    if (auto* models = window.findChild<QComboBox*>(QStringLiteral("cbx_Model")))
      models->setCurrentIndex(1);
    window.engine().ShowGraphicsCards(SampleGraphicsCards());
    return;
  } else if (state == QLatin1String("progress")) {
    shown.stage = InstallStage::Package;
    shown.overlay.shown = ProgressOverlay::Package;
    shown.overlay.title = W("InstallEngine", "正在下载安装包，请耐心等待...");
    shown.overlay.percent = 42;
    shown.overlay.percentText = L"(42 %)";
    shown.overlay.detail =
        W("SampleStates", "已下载 512.0 MB / 1.19 GB · 6.4 MB/s · 剩余约 2 分钟");
  } else if (state == QLatin1String("models")) {
    window.engine().ShowGraphicsCards(SampleGraphicsCards());
    shown = Sample(window);
    shown.stage = InstallStage::Ready;
    shown.rows[0].installed = true;
    shown.rows[1].pulling = true;
    shown.rows[1].pull = CInstallEngine::DescribePull(2, "deepseek-r1:7b", SamplePull());
    window.engine().DetachView();
    window.ShowOverlay(OverlayPage::ModelList);
    window.presenter().ShowState(shown);
    return;
  } else if (state == QLatin1String("manage") || state == QLatin1String("uninstall") ||
             state == QLatin1String("repair") || state == QLatin1String("update") ||
             state == QLatin1String("updated")) {
    CManagePage* page = window.managePage();
    if (page == nullptr) return;
    InstalledStatus status = SampleInstallation();
    // The vendor names a newer package: the page offers it.
    if (state == QLatin1String("update")) status.updateVersion = "1.2.0";
    if (state == QLatin1String("updated")) {
      status.runnerVersion = "0.6.0";
      status.chatClientVersion = "1.10.2";
    }
    page->ShowManagePage(status, true);
    if (state == QLatin1String("uninstall")) {
      // Shown, not waited for: the window stays free to be looked at.
      auto* ask =
          new CUninstallDialog(page->DialogHost(), status.totalBytes, status.modelStore.bytes);
      ask->show();
    } else if (state == QLatin1String("repair")) {
      auto* report = new CReportDialog(page->DialogHost(),
                                       QCoreApplication::translate("SampleStates", "修复完成"),
                                       SampleRepairLines());
      report->show();
    } else if (state == QLatin1String("updated")) {
      auto* report = new CReportDialog(page->DialogHost(),
                                       QCoreApplication::translate("PackageUpdate", "更新完成"),
                                       SampleUpdateLines());
      report->show();
    }
    return;
  }
  // The engine's own start-up work goes on behind the picture: it shows
  // nothing more, or it would put its own state back.
  window.engine().DetachView();
  window.presenter().ShowState(shown);
}
