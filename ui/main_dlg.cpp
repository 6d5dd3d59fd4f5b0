#include <ui/main_dlg.h>

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <ui/layout_loader.h>
#include <ui/overlay_close.h>

CMainDlg::CMainDlg(QWidget* parent) : QWidget(parent) {
  setObjectName("mainWindow");
  setFixedSize(kWidth, kHeight);  // not resizable
  if (INotifyCenter* center = INotifyCenter::getSingletonPtr()) center->RegisterEventMap(this);
}

CMainDlg::~CMainDlg() {
  if (INotifyCenter* center = INotifyCenter::getSingletonPtr()) center->UnregisterEventMap(this);
}

bool CMainDlg::Create() {
  CUiLoader loader;
  m_root = loader.LoadLayout(QStringLiteral(":/layout/main_wnd.ui"), this);
  if (m_root == nullptr) return false;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_root);
  ShareOverlayCloseButton(m_root);
  setWindowTitle(m_root->windowTitle());
  if (auto* close = findChild<QAbstractButton*>(QStringLiteral("btn_close"))) {
    connect(close, &QAbstractButton::clicked, this, &QWidget::close);
  }
  return true;
}

void CMainDlg::OnInitDialog() {}

void CMainDlg::CenterWindow() {
  const QScreen* screen =
      this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

void CMainDlg::OnEvent(EventArgs& event) { (void)event; }
