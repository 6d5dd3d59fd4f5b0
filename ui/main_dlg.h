#pragma once
// The program's only window, built from the main layout. It owns the actions
// it starts and receives the application's UI events while it exists.
#include <QWidget>

#include <work/action_factory.h>
#include <work/notify_center.h>

class CMainDlg : public QWidget, public Action::CActionRegister<CMainDlg>, public IEventMap {
 public:
  static constexpr int kWidth = 818;
  static constexpr int kHeight = 618;

  explicit CMainDlg(QWidget* parent = nullptr);
  ~CMainDlg() override;

  // Builds the window from its layout; false when the layout is missing.
  bool Create();
  // Runs before the window is first shown: restores state, talks to the
  // service.
  void OnInitDialog();
  // Centres the window on the work area of the screen it will show on.
  void CenterWindow();

  void OnEvent(EventArgs& event) override;

 private:
  QWidget* m_root = nullptr;
};
