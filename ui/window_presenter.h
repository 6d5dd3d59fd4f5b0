#pragma once
// Shows the installation engine's state on the main window: the one place
// that knows which widget shows what. It also puts the engine's questions
// in front of the user. It never calls back into an engine.
#include <string>
#include <string_view>

#include <install/install_view.h>

class QTimer;
class QWidget;

class CWindowPresenter : public IInstallView {
 public:
  // progressTimer: the package overlay's refresh, run while the package's
  // progress shows.
  explicit CWindowPresenter(QTimer& progressTimer);
  // The window's layout, once loaded: nothing is shown before.
  void SetRoot(QWidget* root) { m_root = root; }

  void ShowState(const EngineState& state) override;
  void ShowMessage(const std::wstring& text, const std::wstring& caption) override;
  bool AskToContinue(const std::wstring& text, const std::wstring& caption) override;

 private:
  QWidget* Child(std::string_view name) const;
  void Show(std::string_view name, bool show);
  void SetText(std::string_view name, const std::wstring& text);
  void MarkWarning(std::string_view name, bool warning);
  void ShowStage(const EngineState& state);
  void ShowReadyModel(const EngineState& state);
  void ShowOverlay(const PackageOverlayState& overlay);
  void ShowRow(int row, const ModelRowState& state);
  void ShowForm(const InstallFormState& form);

  QWidget* m_root = nullptr;
  QTimer& m_progressTimer;
};
