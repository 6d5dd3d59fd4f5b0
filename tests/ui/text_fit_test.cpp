// Every text the window shows fits its place, in each of the window's states
// and for every model: nothing cut at an end, nothing hidden by an ellipsis.
// ctest runs this program a second time at QT_SCALE_FACTOR=1.5.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTextDocument>

#include <base/text_helpers.h>
#include <catalogue/model_catalogue.h>
#include <install/model_fit.h>
#include <install/package_outcome.h>
#include <install/pull_failure.h>
#include <install/pull_progress.h>
#include <ui/main_dlg.h>
#include <ui/manage_page.h>
#include <ui/qt_notify_center.h>
#include <ui/sample_states.h>
#include <tests/ui/found_lines.h>

namespace {

// The labels shown in `window` whose text does not fit, each with why.
std::vector<std::string> TextsThatDoNotFit(QWidget& window) {
  std::vector<std::string> faults;
  for (QLabel* label : window.findChildren<QLabel*>()) {
    if (!label->isVisibleTo(&window) || label->text().isEmpty()) continue;
    if (label->textFormat() == Qt::RichText ||
        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()))) {
      continue;
    }
    const QRect area = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                      -label->margin(), -label->margin());
    const QFontMetrics metrics = label->fontMetrics();
    const std::string where =
        label->objectName().toStdString() + " \"" + label->text().toStdString() + "\"";
    if (label->wordWrap()) {
      const int needed = label->heightForWidth(label->width());
      if (needed > label->height()) {
        faults.push_back(where + ": needs " + std::to_string(needed) + " px of height, has " +
                         std::to_string(label->height()));
      }
      continue;
    }
    for (const QString& line : label->text().split(QLatin1Char('\n'))) {
      const int needed = metrics.horizontalAdvance(line) + label->indent() * (label->indent() > 0);
      if (needed > area.width()) {
        faults.push_back(where + ": needs " + std::to_string(needed) + " px, has " +
                         std::to_string(area.width()));
      }
    }
    if (metrics.height() > area.height()) {
      faults.push_back(where + ": line of " + std::to_string(metrics.height()) +
                       " px in a height of " + std::to_string(area.height()));
    }
  }
  for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
    if (!button->isVisibleTo(&window) || button->text().isEmpty()) continue;
    const int needed = button->fontMetrics().horizontalAdvance(button->text()) +
                       (button->icon().isNull() ? 0 : button->iconSize().width() + 4);
    if (needed > button->contentsRect().width()) {
      faults.push_back(button->objectName().toStdString() + " \"" + button->text().toStdString() +
                       "\": needs " + std::to_string(needed) + " px, has " +
                       std::to_string(button->contentsRect().width()));
    }
  }
  return faults;
}

class TextsFit : public ::testing::Test {
 protected:
  // Shown (offscreen) so that the style sheet's fonts and sizes apply.
  void Open(CMainDlg& window) {
    ASSERT_TRUE(window.Create());
    window.OnModelSelectionChanged();
    window.show();
    QApplication::processEvents();
  }
  std::string Scale() const { return "at scale " + std::to_string(qApp->devicePixelRatio()); }

  CQtNotifyCenter center_;
  Action::CActionFactory factory_;
};

// The model list as its sample shows it: row 1 there, row 2 pulling.
EngineState ModelsShown(CMainDlg& window) {
  EngineState state = window.engine().state();
  state.stage = InstallStage::Ready;
  state.rows[0].installed = true;
  state.rows[1].pulling = true;
  return state;
}

TEST_F(TextsFit, InEveryState) {
  for (const QString& state : SampleStateNames()) {
    CMainDlg window;
    Open(window);
    ShowSampleState(window, state);
    QApplication::processEvents();
    const auto faults = TextsThatDoNotFit(window);
    EXPECT_TRUE(faults.empty()) << state.toStdString() << " " << Scale() << FoundLines(faults);
  }
}

TEST_F(TextsFit, ForEveryModel) {
  CMainDlg window;
  Open(window);
  auto* models = window.findChild<QComboBox*>(QStringLiteral("cbx_Model"));
  ASSERT_NE(models, nullptr);
  ASSERT_EQ(models->count(), kModelCount);
  for (int index = 0; index < kModelCount; ++index) {
    models->setCurrentIndex(index);
    QApplication::processEvents();
    const auto faults = TextsThatDoNotFit(window);
    EXPECT_TRUE(faults.empty()) << "model " << index << " " << Scale() << FoundLines(faults);
  }
}

TEST_F(TextsFit, InEveryPullPhaseOfARow) {
  PullProgress stalled;
  stalled.phase = PullPhase::Pulling;
  stalled.stalled = true;
  stalled.doneBytes = 404'000'000'000;
  stalled.totalBytes = 404'000'000'000;
  PullProgress failed;
  failed.phase = PullPhase::Error;
  failed.errorText = "pull model manifest: file does not exist";
  std::vector<PullProgress> samples = {stalled, failed};
  for (PullPhase phase :
       {PullPhase::StartingRunner, PullPhase::Starting, PullPhase::Manifest, PullPhase::Pulling,
        PullPhase::Verifying, PullPhase::WritingManifest, PullPhase::Success}) {
    PullProgress progress;
    progress.phase = phase;
    progress.percent = 100;
    progress.doneBytes = 403'900'000'000;
    progress.totalBytes = 404'000'000'000;
    progress.bytesPerSecond = 118'000'000;
    progress.secondsLeft = 7200;
    samples.push_back(progress);
  }
  CMainDlg window;
  Open(window);
  ShowSampleState(window, QStringLiteral("models"));
  EngineState state = ModelsShown(window);
  for (const PullProgress& progress : samples) {
    state.rows[1].pull = CInstallEngine::DescribePull(2, "deepseek-r1:7b", progress);
    window.presenter().ShowState(state);
    QApplication::processEvents();
    const auto faults = TextsThatDoNotFit(window);
    EXPECT_TRUE(faults.empty()) << "phase " << static_cast<int>(progress.phase) << " " << Scale()
                                << FoundLines(faults);
  }
}

// Every cause line with its widest figures, under the install image and in
// a model row.
TEST_F(TextsFit, EveryCauseLine) {
  std::vector<std::wstring> lines;
  for (PackageFault fault :
       {PackageFault::NoConfig, PackageFault::Cancelled, PackageFault::DownloadBroke,
        PackageFault::DownloadFailed, PackageFault::Damaged, PackageFault::NoSpace,
        PackageFault::FolderNotWritable, PackageFault::SaveFailed, PackageFault::Internal}) {
    PackageOutcome outcome;
    outcome.fault = fault;
    outcome.doneBytes = 1'023'990'000'000;
    outcome.totalBytes = 1'023'999'000'000;
    outcome.neededBytes = 1'023'999'000'000;
    outcome.freeBytes = 1'023'990'000'000;
    lines.push_back(PackageFaultText(outcome));
  }
  for (ConfigFetch fetch : {ConfigFetch::NoAnswer, ConfigFetch::BadStatus, ConfigFetch::NotJson,
                            ConfigFetch::Applied}) {
    lines.push_back(ConfigFaultText(fetch, 503));
  }
  const std::vector<PullCause> causes = {PullCause::Network,
                                         PullCause::Unknown,
                                         PullCause::DiskFull,
                                         PullCause::NoRunner,
                                         PullCause::ServerNotAnswering,
                                         PullCause::ModelNotFound,
                                         PullCause::RunnerError};
  for (PullCause cause : causes) lines.push_back(PullCauseLine(cause));
  CMainDlg window;
  Open(window);
  EngineState state = window.engine().state();
  for (const std::wstring& line : lines) {
    state.cause = line;
    window.presenter().ShowState(state);
    QApplication::processEvents();
    const auto faults = TextsThatDoNotFit(window);
    EXPECT_TRUE(faults.empty()) << Scale() << FoundLines(faults);
  }
  ShowSampleState(window, QStringLiteral("models"));
  state = ModelsShown(window);
  for (PullCause cause : causes) {
    state.rows[2].cause = Utf8ToWide(PullRowFailureText(cause));
    window.presenter().ShowState(state);
    QApplication::processEvents();
    const auto faults = TextsThatDoNotFit(window);
    EXPECT_TRUE(faults.empty()) << Scale() << FoundLines(faults);
  }
}

// The manage page while it counts, with parts missing, without a runner
// server and while busy, with the longest figures.
TEST_F(TextsFit, ManagePageInEveryVariant) {
  CMainDlg window;
  Open(window);
  ASSERT_NE(window.managePage(), nullptr);
  InstalledStatus status;
  const InstalledPart big{L"/home/someone/a folder with a rather long name/AlTidewell/ollama", true,
                          1'023'999'000'000};
  status.runner = status.modelStore = status.chatClient = status.package = status.settings =
      status.work = big;
  status.runnerVersion = "0.12.10-rc3";
  status.totalBytes = 5'000'000'000'000;
  status.modelsListed = true;
  status.models = {{"deepseek-r1:671b", 404'000'000'000, "2025-12-31T23:59:59Z", true},
                   {"hf.co/unsloth/DeepSeek-R1-GGUF:Q4_K_M", 8'000'000'000, "", false}};
  for (int variant = 0; variant < 4; ++variant) {
    InstalledStatus shown = status;
    if (variant == 1) shown.runnerProgram = false;  // the warning tag beside the version
    if (variant == 2) {
      shown.modelsListed = false;
      shown.models.clear();
      shown.chatClient.present = false;
    }
    window.managePage()->ShowManagePage(shown, variant != 3);
    window.managePage()->ShowManageBusy(variant == 3 ? L"正在卸载：正在停止模型服务…" : L"");
    QApplication::processEvents();
    const auto faults = TextsThatDoNotFit(window);
    EXPECT_TRUE(faults.empty()) << "variant " << variant << " " << Scale() << FoundLines(faults);
  }
}

// The card line with the longest name kept and the widest figures, under
// the widest memory line; each row's mark in each row.
TEST_F(TextsFit, GraphicsCardLinesAndRowMarks) {
  platform::GraphicsCard card;
  card.name = std::string(60, 'W');
  card.memoryBytes = 1023ull << 30;
  CMainDlg window;
  Open(window);
  EngineState state = window.engine().state();
  state.form.memoryLine =
      L"本机内存 1024 GB，此模型建议 512 GB 以上：内存不足，"
      L"运行会很慢或无法运行，建议选择更小的模型。";
  state.form.cardKnown = true;
  for (const ModelFit fit : {ModelFit::GraphicsCard, ModelFit::MainMemory, ModelFit::TooLarge}) {
    for (const platform::GraphicsCard* each :
         {&card, static_cast<platform::GraphicsCard*>(nullptr)}) {
      state.form.cardLine = GraphicsCardLine(each, fit);
      window.presenter().ShowState(state);
      QApplication::processEvents();
      const auto faults = TextsThatDoNotFit(window);
      EXPECT_TRUE(faults.empty()) << Scale() << FoundLines(faults);
    }
  }
  ShowSampleState(window, QStringLiteral("models"));
  state = ModelsShown(window);
  for (const ModelFit fit : {ModelFit::GraphicsCard, ModelFit::MainMemory, ModelFit::TooLarge}) {
    for (int row = 1; row <= kModelCount; ++row) state.row(row).fit = ModelFitTag(fit);
    window.presenter().ShowState(state);
    QApplication::processEvents();
    const auto faults = TextsThatDoNotFit(window);
    EXPECT_TRUE(faults.empty()) << Scale() << FoundLines(faults);
  }
}

}  // namespace
