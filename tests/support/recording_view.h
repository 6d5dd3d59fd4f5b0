#pragma once
// The engine's view for tests: keeps the state the engine published last,
// each pull's progress as it came, and the boxes, with the answer given.
// Every call comes on the (plain) window thread; tests read it there too.
// It also holds the install form's inputs, as the window would.
#include <map>
#include <string>
#include <vector>

#include <install/install_view.h>

class RecordingView : public IInstallView {
 public:
  void ShowState(const EngineState& shown) override;
  void ShowMessage(const std::wstring& text, const std::wstring& caption) override {
    messages.push_back(caption + L"|" + text);
  }
  bool AskToContinue(const std::wstring& text, const std::wstring& caption) override {
    questions.push_back(caption + L"|" + text);
    return answerContinue;
  }

  // The stage the window shows, and whether it shows the ready page.
  InstallStage Stage() const { return state.stage; }
  bool Ready() const { return state.stage == InstallStage::Ready; }
  bool OverlayShown() const { return state.overlay.shown != ProgressOverlay::Hidden; }
  const ModelRowState& Row(int row) const { return state.row(row); }

  EngineState state;
  // Every publication's progress of each pull (0: the installation's own).
  std::map<int, std::vector<PullProgress>> pulls;
  // Every stage the window went through, in order, once each time.
  std::vector<InstallStage> stages;
  // Each line the ready model's first answer showed, in order.
  std::vector<std::wstring> answerLines;
  std::vector<std::wstring> messages;
  std::vector<std::wstring> questions;
  bool answerContinue = true;
  // The install form as the user left it.
  std::wstring installFolder;
  int selectedModel = 0;
};

// For failure messages.
const char* StageName(InstallStage stage);
