#include <ui/keyboard_access.h>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTimer>

#include <array>

namespace {

// The window's controls in reading order: the caption bar, the first-start
// notice under it, the form top to bottom, the install card, the ready
// page's cards, the usage switch at the foot.
constexpr std::array kReadingOrder = {
    "btnLanguage",       "btnManage",        "btnkefu",         "btn_close",
    "usageNoticeSwitch", "usageNoticeClose", "cbx_Model",       "InstPath",
    "btnSelDir",         "btnLocalPkg",      "btnDownloadPkg",  "imgNoDownDeekSeek",
    "imgDownDeekSeek",   "imgInstDeekSeek",  "imgDownModeling", "imgOnceTiYan",
    "imgDownOtherModel", "imgUserTutorial",  "usageSwitch"};

struct AccessibleText {
  const char* control;
  const char* name;
  const char* description;
};

// Source texts for the "Accessibility" translation context.
constexpr std::array kTexts = {
    AccessibleText{"btnLanguage", QT_TRANSLATE_NOOP("Accessibility", "语言"),
                   QT_TRANSLATE_NOOP("Accessibility", "在中文和英文之间切换界面语言")},
    AccessibleText{"btnManage", QT_TRANSLATE_NOOP("Accessibility", "管理"),
                   QT_TRANSLATE_NOOP("Accessibility", "查看已安装的内容，修复或全部卸载")},
    AccessibleText{"btnkefu", QT_TRANSLATE_NOOP("Accessibility", "联系客服"),
                   QT_TRANSLATE_NOOP("Accessibility", "在浏览器中打开客服页面")},
    AccessibleText{"btn_close", QT_TRANSLATE_NOOP("Accessibility", "关闭"),
                   QT_TRANSLATE_NOOP("Accessibility", "关闭窗口，退出安装助手")},
    AccessibleText{
        "usageNoticeSwitch", QT_TRANSLATE_NOOP("Accessibility", "发送使用统计"),
        QT_TRANSLATE_NOOP("Accessibility",
                          "开启时发送操作事件名称、本机生成的设备标识、系统名称和版本号")},
    AccessibleText{"usageNoticeClose", QT_TRANSLATE_NOOP("Accessibility", "知道了"),
                   QT_TRANSLATE_NOOP("Accessibility", "关闭使用统计说明")},
    AccessibleText{"cbx_Model", QT_TRANSLATE_NOOP("Accessibility", "下载模型"),
                   QT_TRANSLATE_NOOP("Accessibility", "选择要安装的 DeepSeek-R1 模型大小")},
    AccessibleText{"InstPath", QT_TRANSLATE_NOOP("Accessibility", "安装地址"),
                   QT_TRANSLATE_NOOP("Accessibility", "程序和模型安装到这个文件夹")},
    AccessibleText{"btnSelDir", QT_TRANSLATE_NOOP("Accessibility", "选择路径"),
                   QT_TRANSLATE_NOOP("Accessibility", "打开文件夹选择窗口，选择安装地址")},
    AccessibleText{"btnLocalPkg", QT_TRANSLATE_NOOP("Accessibility", "从本地安装包安装"),
                   QT_TRANSLATE_NOOP("Accessibility", "选择已下载好的安装包（.zip）来安装")},
    AccessibleText{"btnDownloadPkg", QT_TRANSLATE_NOOP("Accessibility", "改为在线下载"),
                   QT_TRANSLATE_NOOP("Accessibility", "不使用本地安装包，从网络下载")},
    AccessibleText{
        "imgNoDownDeekSeek", QT_TRANSLATE_NOOP("Accessibility", "开始安装"),
        QT_TRANSLATE_NOOP("Accessibility", "DeepSeek 未安装，按回车或空格下载并安装所选模型")},
    AccessibleText{"imgDownDeekSeek", QT_TRANSLATE_NOOP("Accessibility", "正在下载安装包"),
                   QT_TRANSLATE_NOOP("Accessibility", "安装进度，请稍候")},
    AccessibleText{"imgInstDeekSeek", QT_TRANSLATE_NOOP("Accessibility", "正在安装"),
                   QT_TRANSLATE_NOOP("Accessibility", "安装进度，请稍候")},
    AccessibleText{"imgDownModeling", QT_TRANSLATE_NOOP("Accessibility", "正在下载模型"),
                   QT_TRANSLATE_NOOP("Accessibility", "安装进度，请稍候")},
    AccessibleText{"imgOnceTiYan", QT_TRANSLATE_NOOP("Accessibility", "立即体验"),
                   QT_TRANSLATE_NOOP("Accessibility", "打开 Chatbox，与已安装的模型对话")},
    AccessibleText{"imgDownOtherModel", QT_TRANSLATE_NOOP("Accessibility", "下载其他模型"),
                   QT_TRANSLATE_NOOP("Accessibility", "打开模型列表，下载其他大小的模型")},
    AccessibleText{"imgUserTutorial", QT_TRANSLATE_NOOP("Accessibility", "使用教程"),
                   QT_TRANSLATE_NOOP("Accessibility", "打开使用教程")},
    AccessibleText{
        "usageSwitch", QT_TRANSLATE_NOOP("Accessibility", "发送使用统计"),
        QT_TRANSLATE_NOOP("Accessibility",
                          "开启时发送操作事件名称、本机生成的设备标识、系统名称和版本号")},
    AccessibleText{"btn_TipClose1", QT_TRANSLATE_NOOP("Accessibility", "关闭"),
                   QT_TRANSLATE_NOOP("Accessibility", "关闭此窗口，返回主页面")},
};

QString Translate(const char* text) { return QCoreApplication::translate("Accessibility", text); }

bool TakesTab(const QWidget* widget, const QWidget* window) {
  return (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isEnabled() &&
         widget->isVisibleTo(window) &&
         qobject_cast<const QAbstractScrollArea*>(widget) == nullptr &&
         qobject_cast<const QScrollBar*>(widget) == nullptr;
}

bool IsTab(int key, Qt::KeyboardModifiers modifiers) {
  return key == Qt::Key_Backtab || (key == Qt::Key_Tab && (modifiers & ~Qt::ShiftModifier) == 0);
}

}  // namespace

// A 2px rounded outline just outside the focused control, drawn on its
// parent above its siblings: one mark for every kind of control, the image
// cards and animation players included.
class CFocusRing : public QWidget {
 public:
  static constexpr int kGap = 3;

  explicit CFocusRing(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("focusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
  }

  void Mark(QWidget* target) {
    m_target = target;
    Follow();
  }
  QWidget* Target() const { return m_target; }

  // Sits around the target again after it moved, resized, showed or hid.
  void Follow() {
    QWidget* target = m_target;
    if (target == nullptr || target->parentWidget() == nullptr || !target->isVisible()) {
      hide();
      return;
    }
    if (parentWidget() != target->parentWidget()) setParent(target->parentWidget());
    setGeometry(target->geometry().adjusted(-kGap, -kGap, kGap, kGap));
    show();
    raise();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0x1f, 0x5f, 0xe0), 2);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
  }

 private:
  QPointer<QWidget> m_target;
};

CKeyboardAccess* CKeyboardAccess::Attach(QWidget& window) { return new CKeyboardAccess(window); }

CKeyboardAccess::CKeyboardAccess(QWidget& window) : QObject(&window), m_window(window) {
  setObjectName(QStringLiteral("keyboardAccess"));
  m_ring = new CFocusRing(&window);
  m_overlay = window.findChild<QWidget*>(QStringLiteral("tab_Tip"));
  m_overlayClose = window.findChild<QWidget*>(QStringLiteral("btn_TipClose1"));
  // A scroll area would take a Tab stop of its own; its rows' buttons are
  // the stops, and the area scrolls to them.
  for (QAbstractScrollArea* area : window.findChildren<QAbstractScrollArea*>()) {
    area->setFocusPolicy(Qt::NoFocus);
  }
  if (auto* overlay = qobject_cast<QStackedWidget*>(Overlay())) {
    connect(overlay, &QStackedWidget::currentChanged, this, [this] {
      if (Overlay() != nullptr && Overlay()->isVisibleTo(&m_window)) OnOverlayShown();
    });
  }
  ApplyTexts();
  qApp->installEventFilter(this);
}

CKeyboardAccess::~CKeyboardAccess() { qApp->removeEventFilter(this); }

QWidget* CKeyboardAccess::Overlay() const { return m_overlay; }

QWidget* CKeyboardAccess::OverlayClose() const { return m_overlayClose; }

QWidget* CKeyboardAccess::FocusRing() const { return m_ring.data(); }

CFocusRing* CKeyboardAccess::Ring() {
  // It sits on the marked control's parent and goes when that goes (the
  // manage page makes its rows again): then a new one.
  if (m_ring == nullptr) m_ring = new CFocusRing(&m_window);
  return m_ring;
}

QList<QWidget*> CKeyboardAccess::TabChain() const {
  QList<QWidget*> chain;
  auto* overlay = qobject_cast<QStackedWidget*>(Overlay());
  if (overlay != nullptr && overlay->isVisibleTo(&m_window)) {
    // The overlay's page in the order its controls were made (the layout's
    // order: rows top to bottom), then the shared close button.
    QWidget* page = overlay->currentWidget();
    QWidget* close = OverlayClose();
    if (page != nullptr) {
      for (QWidget* widget : page->findChildren<QWidget*>()) {
        if (widget != close && TakesTab(widget, &m_window)) chain << widget;
      }
    }
    if (close != nullptr && TakesTab(close, &m_window)) chain << close;
    return chain;
  }
  for (const char* name : kReadingOrder) {
    QWidget* widget = m_window.findChild<QWidget*>(QLatin1String(name));
    if (widget != nullptr && TakesTab(widget, &m_window)) chain << widget;
  }
  // Controls added to the layout later still get a stop, after the known ones.
  for (QWidget* widget : m_window.findChildren<QWidget*>()) {
    if (chain.contains(widget) || !TakesTab(widget, &m_window)) continue;
    if (overlay != nullptr && overlay->isAncestorOf(widget)) continue;
    chain << widget;
  }
  return chain;
}

void CKeyboardAccess::ApplyTexts() {
  for (const AccessibleText& text : kTexts) {
    if (QWidget* widget = m_window.findChild<QWidget*>(QLatin1String(text.control))) {
      widget->setAccessibleName(Translate(text.name));
      widget->setAccessibleDescription(Translate(text.description));
    }
  }
  // The model rows: each download button names its model.
  for (int row = 1;; ++row) {
    const QString number = QString::number(row);
    QWidget* button = m_window.findChild<QWidget*>(QStringLiteral("adked_btn") + number);
    if (button == nullptr) break;
    const auto* model = m_window.findChild<QLabel*>(QStringLiteral("ai_name") + number);
    const QString name = model != nullptr ? model->text() : number;
    button->setAccessibleName(QCoreApplication::translate("Accessibility", "下载 %1").arg(name));
    button->setAccessibleDescription(
        QCoreApplication::translate("Accessibility", "下载此模型并在 Chatbox 中使用"));
  }
  // Controls made at run time (the manage page's) are named by their own
  // text; their tooltip, when they have one, tells more.
  // Marked, so that a text translated since is taken again.
  static const char* const kFromText = "accessibleFromText";
  for (auto* button : m_window.findChildren<QAbstractButton*>()) {
    const bool fromText = button->property(kFromText).toBool();
    if (!fromText && !button->accessibleName().isEmpty()) continue;
    button->setProperty(kFromText, true);
    button->setAccessibleName(button->text());
    button->setAccessibleDescription(button->toolTip().isEmpty() ? button->text()
                                                                 : button->toolTip());
  }
}

void CKeyboardAccess::MoveFocus(QWidget* from, bool forward) {
  const QList<QWidget*> chain = TabChain();
  if (chain.isEmpty()) return;
  const qsizetype at = chain.indexOf(from);
  qsizetype next = 0;
  if (at < 0) {
    next = forward ? 0 : chain.size() - 1;
  } else {
    next = (at + (forward ? 1 : chain.size() - 1)) % chain.size();
  }
  QWidget* target = chain[next];
  target->setFocus(Qt::TabFocusReason);
  for (QWidget* up = target->parentWidget(); up != nullptr; up = up->parentWidget()) {
    if (auto* area = qobject_cast<QScrollArea*>(up)) area->ensureWidgetVisible(target);
  }
  // Without an active window no focus event comes: mark it here as well.
  Ring()->Mark(target);
}

bool CKeyboardAccess::OnKeyPress(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
  if (IsTab(key, modifiers)) {
    const bool backwards = key == Qt::Key_Backtab || (modifiers & Qt::ShiftModifier) != 0;
    MoveFocus(target, !backwards);
    return true;
  }
  if ((modifiers & ~Qt::KeypadModifier) != 0) return false;
  if (key == Qt::Key_Escape) {
    QWidget* overlay = Overlay();
    auto* close = qobject_cast<QAbstractButton*>(OverlayClose());
    if (overlay == nullptr || !overlay->isVisibleTo(&m_window) || close == nullptr) return false;
    // The close button's own path: it asks before it stops an installation.
    if (close->isEnabled()) close->click();
    return true;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    // Space presses a button already; Enter does the same here.
    auto* button = qobject_cast<QPushButton*>(target);
    if (button == nullptr || !button->isEnabled()) return false;
    button->click();
    return true;
  }
  return false;
}

void CKeyboardAccess::OnOverlayShown() {
  if (QWidget* focused = m_window.focusWidget();
      focused != nullptr && !Overlay()->isAncestorOf(focused)) {
    m_beforeOverlay = focused;
  }
  const QList<QWidget*> chain = TabChain();
  if (chain.isEmpty()) return;
  chain.front()->setFocus(Qt::OtherFocusReason);
  Ring()->Mark(chain.front());
  ApplyTexts();
}

void CKeyboardAccess::OnOverlayHidden() {
  QWidget* back = m_beforeOverlay;
  const QList<QWidget*> chain = TabChain();
  if (back == nullptr || !chain.contains(back)) back = chain.isEmpty() ? nullptr : chain.front();
  if (back == nullptr) return;
  back->setFocus(Qt::OtherFocusReason);
  Ring()->Mark(back);
}

bool CKeyboardAccess::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::FocusIn && type != QEvent::Show &&
      type != QEvent::Hide && type != QEvent::Move && type != QEvent::Resize &&
      type != QEvent::LanguageChange) {
    return false;
  }
  if (!watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  // A window that does not show has nothing to walk; one being destroyed
  // is hidden first, and its children must not be looked at then.
  if (widget->window() != &m_window || !m_window.isVisible()) return false;
  switch (type) {
    case QEvent::KeyPress: {
      const auto* key = static_cast<QKeyEvent*>(event);
      return OnKeyPress(widget, key->key(), key->modifiers());
    }
    case QEvent::FocusIn:
      switch (static_cast<QFocusEvent*>(event)->reason()) {
        case Qt::MouseFocusReason:
          // A click shows where the focus went already.
          Ring()->Mark(nullptr);
          break;
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
        case Qt::OtherFocusReason:
          Ring()->Mark(widget);
          break;
        default:
          // The window coming to the front or a popup closing changes
          // nothing: a window that opens shows no mark until a key is used.
          break;
      }
      return false;
    case QEvent::LanguageChange:
      if (widget == &m_window) ApplyTexts();
      return false;
    default:
      break;
  }
  if (widget == Overlay() && (type == QEvent::Show || type == QEvent::Hide)) {
    // After the showing or hiding is complete: Qt moves the focus itself
    // when a focused control disappears.
    QTimer::singleShot(0, this,
                       type == QEvent::Show ? &CKeyboardAccess::OnOverlayShown
                                            : &CKeyboardAccess::OnOverlayHidden);
  }
  if (m_ring != nullptr && widget == m_ring->Target()) m_ring->Follow();
  return false;
}
