#pragma once
// The usage-report switch "发送使用统计": at the foot of the main page, and
// in the notice a first start shows once in place of the intro lines. Both
// boxes show the one remembered switch and change it; DO_NOT_TRACK in the
// environment shows them off and locked.
#include <QObject>

#include <functional>

class QAbstractButton;
class QCheckBox;
class QWidget;

class CUsageSwitch : public QObject {
 public:
  // Finds its controls below root (the main layout). onSeen runs once, when
  // the user closes the notice.
  CUsageSwitch(QWidget& root, std::function<void()> onSeen);

  // Shows the notice when it was never closed; true when it shows.
  bool ShowNoticeOnFirstStart();
  // Shows or hides the notice without remembering anything (sample states).
  void ShowNotice(bool show);
  bool NoticeShows() const;
  // Both boxes as the switch is now (also after a language change).
  void Refresh();

 private:
  // A box was clicked: remember, and show the other box the same.
  void OnToggled(bool on);
  void OnNoticeClosed();

  QWidget& m_root;
  QWidget* m_notice;
  QWidget* m_introLines[2];
  QCheckBox* m_boxes[2];  // the notice's and the page's
  std::function<void()> m_onSeen;
};
