#include <ui/main_dlg.h>

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <catalogue/model_catalogue.h>
#include <ui/controls/gif_player.h>
#include <ui/folder_dialog.h>
#include <ui/keyboard_access.h>
#include <ui/language.h>
#include <ui/layout_loader.h>
#include <ui/manage_page.h>
#include <ui/message_box.h>
#include <ui/overlay_close.h>
#include <ui/package_dialog.h>
#include <ui/tutorial_archive.h>
#include <ui/usage_switch.h>
#include <ui/window_drag.h>

namespace {

CMainDlg::FolderPicker& Picker() {
  static CMainDlg::FolderPicker picker;
  return picker;
}

QString BrowseForFolder(QWidget* parent, const QString& start) {
  if (Picker()) return Picker()(start);
  return QFileDialog::getExistingDirectory(parent,
                                           QCoreApplication::translate("MainDlg", "请选择一个目录"),
                                           start, QFileDialog::ShowDirsOnly);
}

CMainDlg::PackagePicker& PackagePickerHook() {
  static CMainDlg::PackagePicker picker;
  return picker;
}

QString Q(const std::wstring& text) { return QString::fromStdWString(text); }
QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CMainDlg::CMainDlg(QWidget* parent) : QWidget(parent) {
  setObjectName("mainWindow");
  // The layout draws its own caption bar with a close button; a second one
  // from the window manager would offer to maximise a fixed-size window. A
  // top-level window keeps its taskbar entry.
  setWindowFlag(Qt::FramelessWindowHint);
  setFixedSize(kWidth, kHeight);  // not resizable
  m_engine = std::make_shared<CInstallEngine>(m_presenter, this);
  m_progressTimer.setParent(this);  // found by its id, as a window timer is
  m_progressTimer.setInterval(kProgressTimerMs);
  m_progressTimer.setObjectName(QString::number(kProgressTimerId));
  connect(&m_progressTimer, &QTimer::timeout, this, &CMainDlg::OnProgressTick);
}

CMainDlg::~CMainDlg() {
  // Closed before the notice was: what waited for it never leaves.
  m_engine->DropHeldReports();
  // A task may keep the engine alive: it shows nothing once we are gone.
  m_engine->DetachView();
}

bool CMainDlg::Create() {
  CUiLoader loader;
  m_root = loader.LoadLayout(QStringLiteral(":/layout/main_wnd.ui"), this);
  if (m_root == nullptr) return false;
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_root);
  m_presenter.SetRoot(m_root);
  ShareOverlayCloseButton(m_root);
  if (auto* overlay = findChild<QStackedWidget*>(QStringLiteral("tab_Tip"))) {
    m_managePage = new CManagePage(*overlay);
    m_manage = std::make_shared<CManageEngine>(*m_managePage, m_presenter, *m_engine, this);
    m_managePage->SetActions({[this](const std::string& model) { m_manage->RemoveModel(model); },
                              [this] { m_manage->Repair(); }, [this] { m_manage->Update(); },
                              [this] { m_manage->Uninstall(); }});
  }
  m_usage = new CUsageSwitch(*m_root, [this] { m_engine->ReleaseHeldReports(); });
  setWindowTitle(m_root->windowTitle());
  (new CWindowDragger(*this))->AddHandle(Child("captionBar"));

  ConnectClick("btn_close", [this] { close(); });
  ConnectClick("btnkefu", [this] { m_engine->OnCustomerServiceClick(); });
  Connect("btnLanguage", &CMainDlg::OnLanguageClick);
  ShowLanguageSwitch();
  ConnectClick("btnManage", [this] {
    if (m_manage) m_manage->OpenManagePage();
  });
  ConnectClick("imgNoDownDeekSeek",
               [this] { m_engine->OnInstallClick(InstallFolderText(), SelectedModelIndex()); });
  Connect("btnSelDir", &CMainDlg::OnSelectFolder);
  Connect("btnLocalPkg", &CMainDlg::OnSelectLocalPackage);
  ConnectClick("btnDownloadPkg", [this] { m_engine->ClearLocalPackage(); });
  Connect("imgOnceTiYan", &CMainDlg::OnTryNowClick);
  Connect("imgDownOtherModel", &CMainDlg::OnOtherModelsClick);
  Connect("imgUserTutorial", &CMainDlg::OnTutorialClick);
  Connect("btn_TipClose1", &CMainDlg::OnOverlayClose);
  for (int row = 1; row <= kModelCount; ++row) {
    ConnectClick(("adked_btn" + std::to_string(row)).c_str(),
                 [this, row] { m_engine->OnModelRowDownloadClick(row); });
  }
  if (auto* models = findChild<QComboBox*>(QStringLiteral("cbx_Model"))) {
    connect(models, &QComboBox::currentIndexChanged, this, [this] { OnModelSelectionChanged(); });
  }
  // A typed folder shows its own disk's free space, not the last picked one's.
  if (auto* path = findChild<QLineEdit*>(QStringLiteral("InstPath"))) {
    connect(path, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_engine->ShowFreeSpace(text.toStdWString()); });
  }
  CKeyboardAccess::Attach(*this);
  return true;
}

void CMainDlg::Connect(const char* name, void (CMainDlg::*handler)()) {
  ConnectClick(name, [this, handler] { (this->*handler)(); });
}

void CMainDlg::ConnectClick(const char* name, std::function<void()> handler) {
  QWidget* child = Child(name);
  if (auto* button = qobject_cast<QAbstractButton*>(child)) {
    connect(button, &QAbstractButton::clicked, this, [handler] { handler(); });
  } else if (auto* player = qobject_cast<SGifPlayer*>(child)) {
    connect(player, &SGifPlayer::clicked, this, [handler] { handler(); });
  }
}

void CMainDlg::OnInitDialog() {
  if (m_usage != nullptr && m_usage->ShowNoticeOnFirstStart()) m_engine->HoldReportsUntilSeen();
  m_engine->StartStartupWork();
  const std::wstring folder = m_engine->RestoreInstallFolder();
  if (auto* path = findChild<QLineEdit*>(QStringLiteral("InstPath"))) {
    path->setText(QString::fromStdWString(folder));
  }
  // The real figure from the start: a placeholder would mislead.
  m_engine->ShowFreeSpace(folder);
  OnModelSelectionChanged();
  if (auto* pages = findChild<QStackedWidget*>(QStringLiteral("tab_pages"))) {
    pages->setCurrentIndex(0);
  }
  m_engine->StartInstalledModelDetection();
  m_engine->StartGraphicsDetection();
}

void CMainDlg::CenterWindow() {
  const QScreen* screen =
      this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

void CMainDlg::closeEvent(QCloseEvent* event) {
  // Closing ends the program; running workers are not waited for.
  m_progressTimer.stop();
  event->accept();
}

void CMainDlg::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::LanguageChange || m_root == nullptr) return;
  RetranslateLayout(m_root);
  ShowLanguageSwitch();
  if (m_usage != nullptr) m_usage->Refresh();
  // What the engine wrote follows its next update; these it shows at once.
  OnModelSelectionChanged();
  m_engine->ShowFreeSpace(InstallFolderText());
}

void CMainDlg::OnLanguageClick() {
  const UiLanguage next =
      CurrentLanguage() == UiLanguage::Chinese ? UiLanguage::English : UiLanguage::Chinese;
  RememberLanguage(next);
  if (QCoreApplication* app = QCoreApplication::instance()) ApplyLanguage(*app, next);
}

void CMainDlg::ShowLanguageSwitch() {
  const bool chinese = CurrentLanguage() == UiLanguage::Chinese;
  // Names the language it switches to, in that language.
  if (auto* button = qobject_cast<QAbstractButton*>(Child("btnLanguage"))) {
    button->setText(chinese ? QStringLiteral("EN") : QStringLiteral("中"));
  }
  // The stage images carry their words too: "<skin>_en" is the English one.
  for (SGifPlayer* player : findChildren<SGifPlayer*>()) {
    QVariant skin = player->property("_tw_skin");
    if (!skin.isValid()) {
      skin = player->property("skin");
      player->setProperty("_tw_skin", skin);
    }
    if (skin.toString().isEmpty()) continue;
    player->SetSkinByName(chinese ? skin.toString() : skin.toString() + QStringLiteral("_en"));
  }
  // The banner's words are part of its artwork: one drawing per language.
  if (QWidget* banner = Child("img_banner")) {
    banner->setProperty("image", chinese ? QStringLiteral(":/images/banner.svg")
                                         : QStringLiteral(":/images/banner_en.svg"));
  }
}

// ---- Handlers ----------------------------------------------------------------

void CMainDlg::OnModelSelectionChanged() { m_engine->ShowModelNeeds(SelectedModelIndex()); }

void CMainDlg::SetFolderPickerForTesting(FolderPicker picker) { Picker() = std::move(picker); }

void CMainDlg::OnSelectFolder() {
  const QString picked = BrowseForFolder(this, FolderDialogStart(Q(InstallFolderText())));
  if (picked.isEmpty()) return;
  const std::wstring path =
      CInstallEngine::FolderForPickedPath(QDir::toNativeSeparators(picked).toStdWString());
  // The field's own change shows the new folder's free space.
  if (auto* edit = findChild<QLineEdit*>(QStringLiteral("InstPath"))) edit->setText(Q(path));
}

void CMainDlg::SetPackagePickerForTesting(PackagePicker picker) {
  PackagePickerHook() = std::move(picker);
}

void CMainDlg::OnSelectLocalPackage() {
  const QString start = PackageDialogStart(Q(m_engine->localPackage()));
  const QString picked =
      PackagePickerHook() ? PackagePickerHook()(start) : AskForPackageFile(this, start);
  if (picked.isEmpty()) return;
  UseLocalPackage(QDir::toNativeSeparators(picked).toStdWString());
}

bool CMainDlg::UseLocalPackage(const std::wstring& path) {
  return m_engine->ChooseLocalPackage(path);
}

void CMainDlg::OnTryNowClick() {
  m_engine->ReportEvent("clickOnceTiyan", true);
  m_engine->TryNow();
}

void CMainDlg::OnOtherModelsClick() {
  m_engine->ReportEvent("openOtherModelDlg", true);
  ShowOverlay(OverlayPage::ModelList);
}

void CMainDlg::OnTutorialClick() {
  m_engine->ReportEvent("openUserTutor", true);
  // An uninstall in this session took the work folder with the guide.
  PlaceTutorialArchive(m_engine->TutorialFolder());
  m_engine->OpenUserTutorial();
}

void CMainDlg::OnOverlayClose() {
  if (m_manage && OverlayShows(OverlayPage::Manage)) {
    m_manage->ClosePage();
  } else if (OverlayShows(OverlayPage::Progress)) {
    m_engine->OnOverlayClose();
  } else {
    HideOverlay();
  }
}

void CMainDlg::OnProgressTick() { m_engine->OnProgressTimer(); }

// ---- The form's inputs and the overlay ----------------------------------------

QWidget* CMainDlg::Child(std::string_view name) const {
  return m_root == nullptr ? nullptr : m_root->findChild<QWidget*>(Q(name));
}

std::wstring CMainDlg::InstallFolderText() const {
  auto* edit = qobject_cast<QLineEdit*>(Child("InstPath"));
  return edit != nullptr ? edit->text().trimmed().toStdWString() : std::wstring();
}

int CMainDlg::SelectedModelIndex() const {
  auto* models = qobject_cast<QComboBox*>(Child("cbx_Model"));
  return models != nullptr ? models->currentIndex() : -1;
}

void CMainDlg::ShowOverlay(OverlayPage page) {
  auto* overlay = qobject_cast<QStackedWidget*>(Child("tab_Tip"));
  if (overlay == nullptr) return;
  overlay->setCurrentIndex(static_cast<int>(page));
  overlay->show();
  overlay->raise();
}

void CMainDlg::HideOverlay() {
  auto* overlay = qobject_cast<QStackedWidget*>(Child("tab_Tip"));
  if (overlay == nullptr) return;
  overlay->hide();
  overlay->setCurrentIndex(0);
}

bool CMainDlg::OverlayShows(OverlayPage page) const {
  auto* overlay = qobject_cast<QStackedWidget*>(Child("tab_Tip"));
  return overlay != nullptr && overlay->isVisibleTo(m_root) &&
         overlay->currentIndex() == static_cast<int>(page);
}
