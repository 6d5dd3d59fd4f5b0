#include <ui/usage_switch.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QWidget>

#include <utility>

#include <config/usage_reports.h>

namespace {

const char* const kLockedTip =
    QT_TRANSLATE_NOOP("UsageSwitch", "环境变量 DO_NOT_TRACK 已要求不发送使用统计");
const char* const kSwitchTip = QT_TRANSLATE_NOOP(
    "UsageSwitch", "向厂商发送操作事件名称、本机生成的设备标识、系统名称和版本号");

}  // namespace

CUsageSwitch::CUsageSwitch(QWidget& root, std::function<void()> onSeen)
    : QObject(&root),
      m_root(root),
      m_notice(root.findChild<QWidget*>(QStringLiteral("usageNotice"))),
      m_introLines{root.findChild<QWidget*>(QStringLiteral("introLine1")),
                   root.findChild<QWidget*>(QStringLiteral("introLine2"))},
      m_boxes{root.findChild<QCheckBox*>(QStringLiteral("usageNoticeSwitch")),
              root.findChild<QCheckBox*>(QStringLiteral("usageSwitch"))},
      m_onSeen(std::move(onSeen)) {
  for (QCheckBox* box : m_boxes) {
    // clicked, not toggled: only the user's own click is remembered.
    if (box != nullptr) connect(box, &QAbstractButton::clicked, this, &CUsageSwitch::OnToggled);
  }
  if (auto* close = root.findChild<QAbstractButton*>(QStringLiteral("usageNoticeClose"))) {
    connect(close, &QAbstractButton::clicked, this, &CUsageSwitch::OnNoticeClosed);
  }
  Refresh();
}

bool CUsageSwitch::ShowNoticeOnFirstStart() {
  const bool first = m_notice != nullptr && !UsageNoticeShown();
  ShowNotice(first);
  return first;
}

void CUsageSwitch::ShowNotice(bool show) {
  if (m_notice == nullptr) return;
  m_notice->setVisible(show);
  // The notice stands where the intro lines were; the page's box would say
  // the same thing twice.
  for (QWidget* line : m_introLines) {
    if (line != nullptr) line->setVisible(!show);
  }
  if (m_boxes[1] != nullptr) m_boxes[1]->setVisible(!show);
  Refresh();
}

bool CUsageSwitch::NoticeShows() const {
  return m_notice != nullptr && m_notice->isVisibleTo(&m_root);
}

void CUsageSwitch::OnToggled(bool on) {
  SetUsageReportsSwitch(on);
  Refresh();
}

void CUsageSwitch::OnNoticeClosed() {
  MarkUsageNoticeShown();
  ShowNotice(false);
  if (m_onSeen) std::exchange(m_onSeen, nullptr)();
}

void CUsageSwitch::Refresh() {
  const bool locked = DoNotTrackAsked();
  const bool on = UsageReportsAllowed();
  for (QCheckBox* box : m_boxes) {
    if (box == nullptr) continue;
    box->setChecked(on);
    box->setEnabled(!locked);
    box->setToolTip(QCoreApplication::translate("UsageSwitch", locked ? kLockedTip : kSwitchTip));
  }
}
