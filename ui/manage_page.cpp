#include <ui/manage_page.h>

#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStringList>
#include <QVBoxLayout>

#include <ui/overlay_close.h>
#include <ui/manage_dialogs.h>
#include <ui/message_box.h>
#include <ui/size_text.h>

namespace {

// The dialog's place on the overlay: the size of the model list's.
constexpr QRect kDialog(56, 33, 688, 534);
constexpr int kTitleHeight = 56;
constexpr int kFooterHeight = 80;

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

QLabel* RoleLabel(const QString& text, const char* role, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setProperty("role", QString::fromLatin1(role));
  label->setTextFormat(Qt::PlainText);
  return label;
}

// A path is long and its two ends say the most: it is cut in the middle to
// the room it has, and shown whole on hover.
class CPathLabel : public QLabel {
 public:
  CPathLabel(const QString& path, QWidget* parent) : QLabel(parent), m_path(path) {
    setProperty("role", QStringLiteral("managePath"));
    setTextFormat(Qt::PlainText);
    setToolTip(path);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setText(path);
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    setText(fontMetrics().elidedText(m_path, Qt::ElideMiddle, contentsRect().width()));
  }

 private:
  QString m_path;
};

// "2025-02-14" from the runner's RFC 3339 time; nothing when it is not one.
QString DayOf(const std::string& rfc3339) {
  const QString day = Q(rfc3339).left(10);
  return QDate::fromString(day, QStringLiteral("yyyy-MM-dd")).isValid() ? day : QString();
}

}  // namespace

CManagePage::CManagePage(QStackedWidget& overlay) : m_overlay(overlay) {
  setObjectName(QStringLiteral("tipPageManage"));
  auto* dialog = new QFrame(this);
  dialog->setObjectName(QStringLiteral("tipDlgManage"));
  dialog->setProperty("tipDialog", true);  // the overlay's close button sits on it
  dialog->setGeometry(kDialog);

  auto* title = m_title = new QLabel(dialog);
  title->setObjectName(QStringLiteral("manageTitle"));
  title->setGeometry(24, 0, 420, kTitleHeight);
  auto* rule = new QFrame(dialog);
  rule->setObjectName(QStringLiteral("manageRule"));
  rule->setGeometry(0, kTitleHeight, kDialog.width(), 1);

  const int listTop = kTitleHeight + 1;
  const int footerTop = kDialog.height() - kFooterHeight;
  auto* scroll = m_scroll = new QScrollArea(dialog);
  scroll->setObjectName(QStringLiteral("manageScroll"));
  scroll->setGeometry(0, listTop, kDialog.width(), footerTop - listTop);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setWidgetResizable(true);
  m_rows = new QWidget;
  m_rows->setObjectName(QStringLiteral("manageRows"));
  m_rowsLayout = new QVBoxLayout(m_rows);
  m_rowsLayout->setContentsMargins(20, 16, 12, 16);
  m_rowsLayout->setSpacing(10);
  scroll->setWidget(m_rows);

  auto* footerRule = new QFrame(dialog);
  footerRule->setObjectName(QStringLiteral("manageFooterRule"));
  footerRule->setGeometry(0, footerTop, kDialog.width(), 1);
  auto* footer = new QWidget(dialog);
  footer->setObjectName(QStringLiteral("manageFooter"));
  footer->setGeometry(0, footerTop + 1, kDialog.width(), kFooterHeight - 1);
  auto* footerLayout = new QHBoxLayout(footer);
  footerLayout->setContentsMargins(24, 0, 24, 0);
  footerLayout->setSpacing(12);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addStretch(1);
  m_total = RoleLabel(QString(), "manageTotal", footer);
  m_total->setObjectName(QStringLiteral("manageTotal"));
  texts->addWidget(m_total);
  m_busy = RoleLabel(QString(), "manageBusy", footer);
  m_busy->setObjectName(QStringLiteral("manageBusy"));
  m_busy->hide();
  texts->addWidget(m_busy);
  texts->addStretch(1);
  footerLayout->addLayout(texts, 1);
  m_update = new QPushButton(footer);
  m_update->setObjectName(QStringLiteral("btnManageUpdate"));
  m_repair = new QPushButton(footer);
  m_repair->setObjectName(QStringLiteral("btnManageRepair"));
  m_uninstall = new QPushButton(footer);
  m_uninstall->setObjectName(QStringLiteral("btnManageUninstall"));
  ApplyFixedTexts();
  for (QPushButton* button : {m_update, m_repair, m_uninstall}) {
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedHeight(36);
    button->setMinimumWidth(100);
    footerLayout->addWidget(button);
  }
  m_update->hide();
  connect(m_update, &QPushButton::clicked, this, [this] {
    if (m_actions.update) m_actions.update();
  });
  connect(m_repair, &QPushButton::clicked, this, [this] {
    if (m_actions.repair) m_actions.repair();
  });
  connect(m_uninstall, &QPushButton::clicked, this, [this] {
    if (m_actions.uninstall) m_actions.uninstall();
  });

  overlay.insertWidget(static_cast<int>(OverlayPage::Manage), this);
}

void CManagePage::ApplyFixedTexts() {
  m_title->setText(QCoreApplication::translate("ManagePage", "管理已安装的内容"));
  m_update->setText(QCoreApplication::translate("ManagePage", "更新"));
  m_repair->setText(QCoreApplication::translate("ManagePage", "修复"));
  m_repair->setToolTip(QCoreApplication::translate("ManagePage", "检查每一部分，只补回缺少的"));
  m_uninstall->setText(QCoreApplication::translate("ManagePage", "全部卸载"));
}

void CManagePage::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::LanguageChange) return;
  ApplyFixedTexts();
  if (m_status) Fill(InstalledStatus(*m_status), m_sizesKnown);
}

bool CManagePage::Shows() const {
  return m_overlay.isVisible() && m_overlay.currentWidget() == this;
}

QWidget* CManagePage::DialogHost() const {
  QWidget* host = m_overlay.parentWidget();
  return host != nullptr ? host : window();
}

void CManagePage::ShowManagePage(const InstalledStatus& status, bool sizesKnown) {
  Fill(status, sizesKnown);
  m_overlay.setCurrentWidget(this);
  m_overlay.show();
  m_overlay.raise();
}

void CManagePage::HideManagePage() {
  if (m_overlay.currentWidget() != this) return;
  m_overlay.hide();
  m_overlay.setCurrentIndex(0);
}

void CManagePage::ShowManageBusy(const std::wstring& text) {
  m_isBusy = !text.empty();
  m_busy->setText(Q(text));
  m_busy->setVisible(m_isBusy);
  ApplyBusy();
}

void CManagePage::ApplyBusy() {
  for (QPushButton* button : findChildren<QPushButton*>()) button->setEnabled(!m_isBusy);
}

bool CManagePage::AskUninstall(std::uint64_t totalBytes, std::uint64_t modelBytes,
                               UninstallChoice& choice) {
  bool answer = false;
  if (DivertQuestion(UninstallQuestionText(totalBytes, false),
                     QCoreApplication::translate("ManagePage", "全部卸载"), &answer)) {
    return answer;
  }
  CUninstallDialog dialog(DialogHost(), totalBytes, modelBytes);
  if (dialog.exec() != QDialog::Accepted) return false;
  choice = dialog.Choice();
  return true;
}

void CManagePage::ShowManageReport(const std::wstring& title,
                                   const std::vector<std::wstring>& lines) {
  QStringList texts;
  for (const std::wstring& line : lines) texts << Q(line);
  if (DivertMessageBox(texts.join(QLatin1Char('\n')), Q(title), MessageIcon::Information)) return;
  CReportDialog(DialogHost(), Q(title), texts).exec();
}

// ---- The list ----------------------------------------------------------------

void CManagePage::Fill(const InstalledStatus& status, bool sizesKnown) {
  m_status = status;
  m_sizesKnown = sizesKnown;
  // The old rows go later: this may run inside a click on one of them.
  while (QLayoutItem* item = m_rowsLayout->takeAt(0)) {
    if (QWidget* row = item->widget()) {
      row->setParent(nullptr);
      row->deleteLater();
    }
    delete item;
  }
  std::vector<Tag> runnerTags;
  if (status.runnerVersion) {
    runnerTags.push_back(
        {QCoreApplication::translate("ManagePage", "版本 %1").arg(Q(*status.runnerVersion)),
         "manageVersion"});
  }
  if (status.runner.present && !status.runnerProgram) {
    runnerTags.push_back({QCoreApplication::translate("ManagePage", "程序缺失"), "manageWarning"});
  }
  AddPart("runner", QCoreApplication::translate("ManagePage", "运行程序 Ollama"), status.runner,
          sizesKnown, runnerTags);
  QFrame* store = AddPart("store", QCoreApplication::translate("ManagePage", "模型存放目录"),
                          status.modelStore, sizesKnown);
  AddModels(*store, status);
  std::vector<Tag> chatTags;
  if (status.chatClientVersion) {
    chatTags.push_back(
        {QCoreApplication::translate("ManagePage", "版本 %1").arg(Q(*status.chatClientVersion)),
         "manageVersion"});
  }
  AddPart("chat", QCoreApplication::translate("ManagePage", "聊天客户端 Chatbox"),
          status.chatClient, sizesKnown, chatTags);
  AddPart("package", QCoreApplication::translate("ManagePage", "安装包"), status.package,
          sizesKnown);
  AddPart("settings", QCoreApplication::translate("ManagePage", "本程序的设置"), status.settings,
          sizesKnown);
  AddPart("work", QCoreApplication::translate("ManagePage", "本程序的工作目录"), status.work,
          sizesKnown);
  m_rowsLayout->addStretch(1);
  // New rows of a shown list wait for the event loop to show them and the
  // scroll area to make room: both now, so no squeezed frame is drawn.
  for (QWidget* row : m_rows->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) row->show();
  m_rowsLayout->activate();
  const QWidget* viewport = m_scroll->viewport();
  m_rows->resize(viewport->width(), std::max(viewport->height(),
                                             m_rowsLayout->totalHeightForWidth(viewport->width())));
  m_total->setText(
      sizesKnown
          ? QCoreApplication::translate("ManagePage", "共占用 %1").arg(SizeText(status.totalBytes))
          : QCoreApplication::translate("ManagePage", "正在统计占用的空间…"));
  m_update->setVisible(!status.updateVersion.empty());
  m_update->setToolTip(QCoreApplication::translate("ManagePage", "更新 Ollama 和 Chatbox 到版本 %1，"
                                                                 "模型和聊天记录保持不变")
                           .arg(QString::fromStdString(status.updateVersion)));
  ApplyBusy();
}

QFrame* CManagePage::AddPart(const char* key, const QString& name, const InstalledPart& part,
                             bool sizesKnown, const std::vector<Tag>& tags) {
  auto* row = new QFrame(m_rows);
  row->setObjectName(QStringLiteral("managePart_") + QLatin1String(key));
  row->setProperty("role", QStringLiteral("manageRow"));
  row->setProperty("present", part.present);
  auto* grid = new QGridLayout(row);
  grid->setContentsMargins(16, 10, 16, 10);
  grid->setHorizontalSpacing(16);
  grid->setVerticalSpacing(2);
  auto* nameLine = new QHBoxLayout;
  nameLine->setSpacing(8);
  QLabel* nameLabel = RoleLabel(name, "manageName", row);
  nameLabel->setObjectName(QStringLiteral("name"));
  nameLine->addWidget(nameLabel);
  for (const Tag& tag : tags) {
    QLabel* label = RoleLabel(tag.text, tag.role, row);
    label->setObjectName(QStringLiteral("tag"));
    nameLine->addWidget(label);
  }
  nameLine->addStretch(1);
  grid->addLayout(nameLine, 0, 0);
  auto* path = new CPathLabel(Q(part.path), row);
  path->setObjectName(QStringLiteral("path"));
  grid->addWidget(path, 1, 0);
  const QString size = !part.present ? QCoreApplication::translate("ManagePage", "未安装")
                       : sizesKnown  ? SizeText(part.bytes)
                                     : QCoreApplication::translate("ManagePage", "正在统计…");
  QLabel* sizeLabel = RoleLabel(size, part.present ? "manageSize" : "manageAbsent", row);
  sizeLabel->setObjectName(QStringLiteral("size"));
  sizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(sizeLabel, 0, 1, 2, 1);
  grid->setColumnStretch(0, 1);
  m_rowsLayout->addWidget(row);
  return row;
}

void CManagePage::AddModels(QFrame& store, const InstalledStatus& status) {
  auto* grid = static_cast<QGridLayout*>(store.layout());
  auto* models = new QVBoxLayout;
  models->setContentsMargins(0, 8, 0, 0);
  models->setSpacing(0);
  grid->addLayout(models, 2, 0, 1, 2);
  if (!status.modelsListed || status.models.empty()) {
    QLabel* note =
        RoleLabel(status.modelsListed
                      ? QCoreApplication::translate("ManagePage", "还没有下载模型")
                      : QCoreApplication::translate("ManagePage", "模型服务未运行，无法列出模型"),
                  "manageNote", &store);
    note->setObjectName(QStringLiteral("modelsNote"));
    models->addWidget(note);
    return;
  }
  int index = 0;
  for (const InstalledModel& model : status.models) {
    auto* line = new QFrame(&store);
    line->setObjectName(QStringLiteral("manageModel%1").arg(++index));
    line->setProperty("role", QStringLiteral("manageModelRow"));
    line->setProperty("model", Q(model.name));
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(10);
    QLabel* name = RoleLabel(Q(model.name), "manageModelName", line);
    name->setObjectName(QStringLiteral("name"));
    layout->addWidget(name);
    if (model.usedByChatClient) {
      QLabel* used = RoleLabel(QCoreApplication::translate("ManagePage", "Chatbox 正在使用"),
                               "manageInUse", line);
      used->setObjectName(QStringLiteral("inUse"));
      layout->addWidget(used);
    }
    layout->addStretch(1);
    QLabel* day = RoleLabel(DayOf(model.modifiedAt), "manageModelDate", line);
    day->setObjectName(QStringLiteral("date"));
    layout->addWidget(day);
    QLabel* size = RoleLabel(SizeText(model.size), "manageModelSize", line);
    size->setObjectName(QStringLiteral("size"));
    size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    size->setMinimumWidth(72);
    layout->addWidget(size);
    auto* remove = new QPushButton(QCoreApplication::translate("ManagePage", "删除"), line);
    remove->setObjectName(QStringLiteral("remove"));
    remove->setProperty("role", QStringLiteral("manageRemove"));
    remove->setCursor(Qt::PointingHandCursor);
    remove->setFixedSize(60, 28);
    remove->setToolTip(QCoreApplication::translate("ManagePage", "删除模型 %1").arg(Q(model.name)));
    const std::string modelName = model.name;
    connect(remove, &QPushButton::clicked, this, [this, modelName] {
      if (m_actions.removeModel) m_actions.removeModel(modelName);
    });
    layout->addWidget(remove);
    models->addWidget(line);
  }
}
