#include <tests/support/recording_view.h>

void RecordingView::ShowState(const EngineState& shown) {
  if (shown.installPull.updates != state.installPull.updates) {
    pulls[0].push_back(shown.installPull.progress);
  }
  for (int row = 1; row <= kModelCount; ++row) {
    if (shown.row(row).pull.updates != state.row(row).pull.updates) {
      pulls[row].push_back(shown.row(row).pull.progress);
    }
  }
  if (stages.empty() || stages.back() != shown.stage) stages.push_back(shown.stage);
  if (shown.answer.line != state.answer.line) answerLines.push_back(shown.answer.line);
  state = shown;
}

const char* StageName(InstallStage stage) {
  switch (stage) {
    case InstallStage::Idle:
      return "idle";
    case InstallStage::Package:
      return "package";
    case InstallStage::Runner:
      return "runner";
    case InstallStage::Model:
      return "model";
    case InstallStage::Ready:
      return "ready";
  }
  return "?";
}
