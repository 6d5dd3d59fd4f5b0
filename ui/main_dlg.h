#pragma once
// The program's only window, built from the main layout. It owns the actions
// it starts; its handlers call the engines, and its presenter shows what the
// installation engine publishes.
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

#include <install/install_engine.h>
#include <install/manage_engine.h>
#include <ui/overlay_close.h>
#include <ui/window_presenter.h>
#include <work/action_factory.h>

class CManagePage;
class CUsageSwitch;

class CMainDlg : public QWidget, public Action::CActionRegister<CMainDlg> {
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

  CInstallEngine& engine() { return *m_engine; }
  // Shows engine states (the sample states for screenshots show their own).
  IInstallView& presenter() { return m_presenter; }
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

  // The install form's inputs.
  std::wstring InstallFolderText() const;
  int SelectedModelIndex() const;
  // The overlay's pages: the model list is the window's own; the others
  // belong to the engines.
  void ShowOverlay(OverlayPage page);
  void HideOverlay();
  bool OverlayShows(OverlayPage page) const;

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
  QTimer m_progressTimer;
  CWindowPresenter m_presenter{m_progressTimer};
  std::shared_ptr<CInstallEngine> m_engine;
  CManagePage* m_managePage = nullptr;  // owned by the overlay
  std::shared_ptr<CManageEngine> m_manage;
  CUsageSwitch* m_usage = nullptr;  // owned by the layout's root
};
