#include <ui/manage_dialogs.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <ui/size_text.h>

namespace {

constexpr int kPanelMargin = 24;
// The report's lines scroll beyond this height rather than grow the panel
// past the window.
constexpr int kReportMaxHeight = 300;
constexpr int kReportWidth = 520;

}  // namespace

CInWindowDialog::CInWindowDialog(QWidget* parent, const QString& title, int panelWidth)
    : QDialog(parent), m_panelWidth(panelWidth) {
  // A part of the window, not a window of its own (QDialog makes it one
  // unless told).
  setWindowFlags(Qt::Widget);
  setObjectName(QStringLiteral("inWindowDialog"));
  m_panel = new QFrame(this);
  m_panel->setObjectName(QStringLiteral("inWindowPanel"));
  auto* panelLayout = new QVBoxLayout(m_panel);
  panelLayout->setContentsMargins(0, 0, 0, 20);
  panelLayout->setSpacing(0);
  auto* titleLabel = new QLabel(title, m_panel);
  titleLabel->setObjectName(QStringLiteral("inWindowTitle"));
  titleLabel->setContentsMargins(kPanelMargin, 0, kPanelMargin, 0);
  titleLabel->setMinimumHeight(52);
  panelLayout->addWidget(titleLabel);
  auto* rule = new QFrame(m_panel);
  rule->setObjectName(QStringLiteral("inWindowRule"));
  rule->setFixedHeight(1);
  panelLayout->addWidget(rule);
  m_content = new QVBoxLayout;
  m_content->setContentsMargins(kPanelMargin, 18, kPanelMargin, 20);
  m_content->setSpacing(10);
  panelLayout->addLayout(m_content);
  m_buttons = new QHBoxLayout;
  m_buttons->setContentsMargins(kPanelMargin, 0, kPanelMargin, 0);
  m_buttons->setSpacing(12);
  m_buttons->addStretch(1);
  panelLayout->addLayout(m_buttons);
  if (parent != nullptr) parent->installEventFilter(this);
}

QPushButton* CInWindowDialog::AddButton(const QString& text, const char* role) {
  auto* button = new QPushButton(text, m_panel);
  button->setProperty("role", QByteArray("dialog-") + role);
  button->setCursor(Qt::PointingHandCursor);
  button->setMinimumSize(96, 36);
  m_buttons->addWidget(button);
  return button;
}

void CInWindowDialog::PlacePanel() {
  QLayout* layout = m_panel->layout();
  layout->activate();
  const int panelHeight = layout->hasHeightForWidth() ? layout->heightForWidth(m_panelWidth)
                                                      : layout->sizeHint().height();
  const QSize size(m_panelWidth, panelHeight);
  m_panel->setGeometry(
      QRect(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size));
}

void CInWindowDialog::showEvent(QShowEvent* event) {
  if (QWidget* parent = parentWidget()) setGeometry(parent->rect());
  raise();
  PlacePanel();
  QDialog::showEvent(event);
}

void CInWindowDialog::paintEvent(QPaintEvent*) {
  // Dims the page below, as the overlay dims the window.
  QPainter(this).fillRect(rect(), QColor(13, 27, 62, 96));
}

bool CInWindowDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) {
    setGeometry(parentWidget()->rect());
    PlacePanel();
  }
  return QDialog::eventFilter(watched, event);
}

// ---- Uninstall ---------------------------------------------------------------

QString UninstallQuestionText(std::uint64_t freedBytes, bool keepModels) {
  const QString text =
      keepModels ? QCoreApplication::translate(
                       "ManageDialogs", "将删除 Ollama、Chatbox 及本程序的设置，共释放约 %1。")
                 : QCoreApplication::translate(
                       "ManageDialogs",
                       "将删除 Ollama、已下载的模型、Chatbox 及本程序的设置，共释放约 %1。");
  return text.arg(SizeText(freedBytes));
}

CUninstallDialog::CUninstallDialog(QWidget* parent, std::uint64_t totalBytes,
                                   std::uint64_t modelBytes)
    : CInWindowDialog(parent, QCoreApplication::translate("ManageDialogs", "全部卸载"), 540),
      m_totalBytes(totalBytes),
      m_modelBytes(modelBytes) {
  m_text = new QLabel(this);
  m_text->setObjectName(QStringLiteral("uninstallText"));
  m_text->setWordWrap(true);
  Content().addWidget(m_text);
  Content().addSpacing(4);
  m_keepModels =
      new QCheckBox(QCoreApplication::translate("ManageDialogs", "保留已下载的模型"), this);
  m_keepModels->setObjectName(QStringLiteral("uninstallKeepModels"));
  Content().addWidget(m_keepModels);
  m_removeChatSettings = new QCheckBox(
      QCoreApplication::translate("ManageDialogs", "同时删除 Chatbox 的设置和聊天记录"), this);
  m_removeChatSettings->setObjectName(QStringLiteral("uninstallChatSettings"));
  Content().addWidget(m_removeChatSettings);
  QPushButton* cancel =
      AddButton(QCoreApplication::translate("ManageDialogs", "取消"), "secondary");
  cancel->setObjectName(QStringLiteral("uninstallCancel"));
  QPushButton* uninstall =
      AddButton(QCoreApplication::translate("ManageDialogs", "卸载"), "danger");
  uninstall->setObjectName(QStringLiteral("uninstallConfirm"));
  // Enter must not take everything away by accident.
  cancel->setDefault(true);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(uninstall, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_keepModels, &QCheckBox::toggled, this, [this] { UpdateText(); });
  UpdateText();
}

UninstallChoice CUninstallDialog::Choice() const {
  UninstallChoice choice;
  choice.keepModels = m_keepModels->isChecked();
  choice.removeChatSettings = m_removeChatSettings->isChecked();
  return choice;
}

QString CUninstallDialog::Text() const { return m_text->text(); }

void CUninstallDialog::UpdateText() {
  const bool keep = m_keepModels->isChecked();
  const std::uint64_t freed =
      keep ? m_totalBytes - std::min(m_modelBytes, m_totalBytes) : m_totalBytes;
  m_text->setText(UninstallQuestionText(freed, keep));
  if (isVisible()) PlacePanel();
}

// ---- Report ------------------------------------------------------------------

CReportDialog::CReportDialog(QWidget* parent, const QString& title, const QStringList& lines)
    : CInWindowDialog(parent, title, kReportWidth) {
  auto* area = new QScrollArea(this);
  area->setObjectName(QStringLiteral("reportScroll"));
  area->setFrameShape(QFrame::NoFrame);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setWidgetResizable(true);
  auto* body = new QWidget;
  body->setObjectName(QStringLiteral("reportBody"));
  auto* list = new QVBoxLayout(body);
  list->setContentsMargins(0, 0, 10, 0);
  list->setSpacing(6);
  for (const QString& line : lines) {
    auto* label = new QLabel(line, body);
    label->setProperty("role", QStringLiteral("reportLine"));
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    list->addWidget(label);
  }
  list->addStretch(1);
  area->setWidget(body);
  m_area = area;
  Content().addWidget(area);
  QPushButton* ok = AddButton(QCoreApplication::translate("ManageDialogs", "确定"), "primary");
  ok->setObjectName(QStringLiteral("reportOk"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CReportDialog::showEvent(QShowEvent* event) {
  // As tall as the lines, up to the limit; the rest scrolls. Measured once
  // the style sheet has set the fonts.
  QWidget* body = m_area->widget();
  body->ensurePolished();
  for (QWidget* line : body->findChildren<QWidget*>()) line->ensurePolished();
  QLayout* list = body->layout();
  const int width = kReportWidth - 2 * kPanelMargin;
  const int needed =
      list->hasHeightForWidth() ? list->heightForWidth(width) : list->sizeHint().height();
  m_area->setFixedHeight(std::min(needed, kReportMaxHeight));
  CInWindowDialog::showEvent(event);
}
