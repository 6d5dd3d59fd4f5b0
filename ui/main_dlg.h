#pragma once
// The program's only window, built from the main layout. It owns the actions
// it starts, receives the application's UI events while it exists, and is
// the installation engine's view: its handlers delegate to the engine.
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

#include <install/install_engine.h>
#include <install/install_view.h>
#include <install/manage_engine.h>
#include <work/action_factory.h>
#include <work/notify_center.h>

class CManagePage;
class CUsageSwitch;

class CMainDlg : public QWidget,
                 public Action::CActionRegister<CMainDlg>,
                 public IEventMap,
                 public IInstallView {
 public:
  static constexpr int kWidth = 818;
  static constexpr int kHeight = 618;
  static constexpr int kProgressTimerId = 102;
  static constexpr int kProgressTimerMs = 50;

  explicit CMainDlg(QWidget* parent = nullptr);
  ~CMainDlg() override;

  // Builds the window from its layout and connects its controls; false when
  // the layout is missing.
  bool Create();
  // Restores the install folder and the model texts, and starts the
  // start-up work (reports, configuration, model and graphics card
  // detection) off the window
  // thread, so that the window shows at once.
  void OnInitDialog();
  // Centres the window on the work area of the screen it will show on.
  void CenterWindow();

  void OnEvent(EventArgs& event) override;
  CInstallEngine& engine() { return *m_engine; }
  // The manage page on the overlay, the manage engine's view (null before
  // Create()).
  CManagePage* managePage() { return m_managePage; }
  // The usage-report switch and the first-start notice (null before Create()).
  CUsageSwitch* usageSwitch() { return m_usage; }

  // The folder picker, given the folder it opens at; tests answer it
  // instead of a person (nullptr restores the dialog).
  using FolderPicker = std::function<QString(const QString& start)>;
  static void SetFolderPickerForTesting(FolderPicker picker);
  // The package file picker, given the folder it opens at; tests answer it
  // as the folder picker's (nullptr restores the dialog).
  using PackagePicker = std::function<QString(const QString& start)>;
  static void SetPackagePickerForTesting(PackagePicker picker);
  // Chooses a package on disk as the dialog would (`--package FILE`); false
  // when it was refused (the cause shows under the install image).
  bool UseLocalPackage(const std::wstring& path);

  // Handlers of the event map.
  void OnModelSelectionChanged();
  void OnSelectFolder();
  void OnSelectLocalPackage();
  void OnTryNowClick();
  void OnOtherModelsClick();
  void OnTutorialClick();
  // The overlay's one close button: the manage page closes through its
  // engine, the other pages through the installation's.
  void OnOverlayClose();

  // IInstallView
  void ShowChild(std::string_view name, bool show) override;
  void SetChildText(std::string_view name, const std::wstring& text) override;
  std::wstring GetChildText(std::string_view name) override;
  void EnableChild(std::string_view name, bool enable) override;
  void SetChildValue(std::string_view name, int value) override;
  void SelectTabPage(std::string_view tab, int page) override;
  int SelectedModelIndex() override;
  void ShowOverlay(OverlayPage page) override;
  void HideOverlay() override;
  bool OverlayShows(OverlayPage page) override;
  void StartProgressTimer() override;
  void StopProgressTimer() override;
  void ShowMessage(const std::wstring& text, const std::wstring& caption) override;
  bool AskToContinue(const std::wstring& text, const std::wstring& caption) override;
  void ShowPullProgress(int row, const PullProgress& progress, const PullTexts& texts) override;
  void MarkChildWarning(std::string_view name, bool warning) override;
  // A pull's progress as the engine words it (samples and tests).
  void ShowPullProgress(int row, const PullProgress& progress);

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The language changed: the layout's texts and the engine's current ones
  // are shown again in it.
  void changeEvent(QEvent* event) override;

 private:
  QWidget* Child(std::string_view name) const;
  void Connect(const char* name, void (CMainDlg::*handler)());
  void ConnectClick(const char* name, std::function<void()> handler);
  void OnProgressTick();
  void OnLanguageClick();
  void ShowLanguageSwitch();

  QWidget* m_root = nullptr;
  std::shared_ptr<CInstallEngine> m_engine;
  CManagePage* m_managePage = nullptr;  // owned by the overlay
  std::shared_ptr<CManageEngine> m_manage;
  CUsageSwitch* m_usage = nullptr;  // owned by the layout's root
  QTimer m_progressTimer;
};
