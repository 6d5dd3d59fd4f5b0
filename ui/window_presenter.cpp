#include <ui/window_presenter.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTimer>

#include <base/translate.h>
#include <ui/controls/gif_player.h>
#include <ui/message_box.h>
#include <ui/overlay_close.h>

namespace {

// The install form's four stage images, in the installation's order.
constexpr const char* kStageImages[] = {"imgNoDownDeekSeek", "imgDownDeekSeek", "imgInstDeekSeek",
                                        "imgDownModeling"};
// Where the model stage's artwork draws its bar (stage_model.gif, 425 x 130).
constexpr QRect kModelStageBar(128, 94, 260, 8);

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }
QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string RowName(const char* prefix, int row) { return prefix + std::to_string(row); }

}  // namespace

CWindowPresenter::CWindowPresenter(QTimer& progressTimer) : m_progressTimer(progressTimer) {}

QWidget* CWindowPresenter::Child(std::string_view name) const {
  return m_root == nullptr ? nullptr : m_root->findChild<QWidget*>(Q(name));
}

void CWindowPresenter::Show(std::string_view name, bool show) {
  if (QWidget* child = Child(name)) child->setVisible(show);
}

void CWindowPresenter::SetText(std::string_view name, const std::wstring& text) {
  QWidget* child = Child(name);
  if (auto* label = qobject_cast<QLabel*>(child)) {
    label->setText(Q(text));
  } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
    button->setText(Q(text));
  }
}

void CWindowPresenter::MarkWarning(std::string_view name, bool warning) {
  if (QWidget* child = Child(name)) {
    child->setStyleSheet(warning ? QStringLiteral("color: #c0392b;") : QString());
  }
}

void CWindowPresenter::ShowState(const EngineState& state) {
  ShowStage(state);
  ShowOverlay(state.overlay);
  const bool chosen = !state.localPackage.empty();
  SetText("localPkgTxt", state.localPackageLine);
  // The line has room for the name; the whole path is a hover away.
  if (QWidget* line = Child("localPkgTxt")) line->setToolTip(Q(state.localPackage));
  Show("localPkgTxt", chosen);
  Show("btnDownloadPkg", chosen);
  Show("btnLocalPkg", !chosen);
  ShowReadyModel(state);
  if (QWidget* tryNow = Child("imgOnceTiYan")) tryNow->setEnabled(!state.tryNowBusy);
  for (int row = 1; row <= kModelCount; ++row) ShowRow(row, state.row(row));
  ShowForm(state.form);
}

void CWindowPresenter::ShowStage(const EngineState& state) {
  const int stage = state.stage == InstallStage::Ready ? 0 : static_cast<int>(state.stage);
  for (int each = 0; each < 4; ++each) Show(kStageImages[each], each == stage);
  if (auto* pages = qobject_cast<QStackedWidget*>(Child("tab_pages2"))) {
    pages->setCurrentIndex(state.stage == InstallStage::Ready ? 1 : 0);
  }
  SetText("causeTxt", state.cause);
  Show("causeTxt", !state.cause.empty());
  const PullShown& pull = state.installPull;
  // Once pulled, the model loads for its first answer under the same image.
  const bool loading = state.answer.phase == AnswerPhase::Loading;
  SetText("stageProgressTxt", loading ? state.answer.line : pull.line);
  // Once the runner reports a share the stage's bar shows it; before that
  // it keeps its running stripes.
  if (auto* image = qobject_cast<SGifPlayer*>(Child("imgDownModeling"))) {
    image->SetMeter(kModelStageBar,
                    pull.progress.phase == PullPhase::Pulling ? pull.progress.percent : -1);
  }
}

void CWindowPresenter::ShowReadyModel(const EngineState& state) {
  const AnswerShown& answer = state.answer;
  const bool told = answer.phase == AnswerPhase::Answered || answer.phase == AnswerPhase::Failed;
  SetText("modelstrTxt", told ? state.readyModel + L" · " + answer.line : state.readyModel);
  MarkWarning("modelstrTxt", answer.phase == AnswerPhase::Failed);
  if (QWidget* line = Child("modelstrTxt")) line->setToolTip(Q(answer.full));
  // The page's title does not claim what the model has not shown.
  SetText("finishTitle", answer.phase == AnswerPhase::Failed
                             ? TW_TR("mainRoot", "模型已下载，但还没能在本机回答")
                             : TW_TR("mainRoot", "安装完成，DeepSeek 已可在本机使用"));
}

void CWindowPresenter::ShowOverlay(const PackageOverlayState& overlay) {
  auto* stack = qobject_cast<QStackedWidget*>(Child("tab_Tip"));
  if (overlay.shown == ProgressOverlay::Package) {
    if (!m_progressTimer.isActive()) m_progressTimer.start();
  } else {
    m_progressTimer.stop();
  }
  if (stack == nullptr) return;
  const int progressPage = static_cast<int>(OverlayPage::Progress);
  if (overlay.shown == ProgressOverlay::Hidden) {
    // The other pages are the window's own.
    if (stack->isVisibleTo(m_root) && stack->currentIndex() == progressPage) {
      stack->hide();
      stack->setCurrentIndex(0);
    }
    return;
  }
  SetText("progTxt", overlay.title);
  SetText("progTxtValue", overlay.percentText);
  SetText("progDetailTxt", overlay.detail);
  if (auto* bar = qobject_cast<QProgressBar*>(Child("prog_value"))) bar->setValue(overlay.percent);
  if (stack->isVisibleTo(m_root) && stack->currentIndex() == progressPage) return;
  stack->setCurrentIndex(progressPage);
  stack->show();
  stack->raise();
}

void CWindowPresenter::ShowRow(int row, const ModelRowState& state) {
  const std::string button = RowName("adked_btn", row);
  Show(button, !state.pulling);
  if (QWidget* child = Child(button)) child->setEnabled(!state.installed);
  Show(RowName("winProgress", row), state.pulling);
  const std::string value = RowName("progress_value", row);
  // Once pulled, the model loads for its first answer in the same place.
  const bool loading = state.answer.phase == AnswerPhase::Loading;
  SetText(value, loading ? state.answer.line : state.pull.line);
  // The row has room for a few words only; the whole text is a hover away.
  if (QWidget* child = Child(value))
    child->setToolTip(Q(loading ? state.answer.line : state.pull.full));
  if (auto* bar = qobject_cast<QProgressBar*>(Child(RowName("prog_value", row)))) {
    bar->setVisible(state.pull.progress.phase == PullPhase::Pulling);
    bar->setValue(state.pull.progress.percent);
  }
  // The cause stands where the row's date was.
  const std::string cause = RowName("ai_cause", row);
  SetText(cause, state.cause);
  Show(cause, !state.cause.empty());
  Show(RowName("ai_date", row), state.cause.empty());
  const std::string fit = RowName("ai_fit", row);
  SetText(fit, state.fit);
  MarkWarning(fit, state.fitWarning);
  Show(fit, !state.fit.empty());
}

void CWindowPresenter::ShowForm(const InstallFormState& form) {
  SetText("wareInfotxt", form.hardware);
  SetText("wareInfotxt2", form.memoryNeed);
  SetText("useSpace2", form.modelSize);
  SetText("memInfoTxt", form.memoryLine);
  MarkWarning("memInfoTxt", form.memoryWarning);
  if (form.cardKnown) {
    SetText("gpuInfoTxt", form.cardLine);
    MarkWarning("gpuInfoTxt", form.cardWarning);
  }
  SetText("useSpace", form.freeSpace);
}

void CWindowPresenter::ShowMessage(const std::wstring& text, const std::wstring& caption) {
  ShowMessageBox(Q(text), Q(caption), MessageIcon::Information);
}

bool CWindowPresenter::AskToContinue(const std::wstring& text, const std::wstring& caption) {
  return AskQuestion(Q(text), Q(caption));
}
