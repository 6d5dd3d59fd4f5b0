#pragma once
// The overlay page "管理已安装的内容": each part of the installation with
// where it lives and its size, the models with a remove button each, repair
// and uninstall. It is the manage engine's view; its buttons call the
// actions the window gives it, so the page can be driven without an engine.
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <install/manage_view.h>

class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

struct ManageActions {
  std::function<void(const std::string& model)> removeModel;
  std::function<void()> repair;
  std::function<void()> update;
  std::function<void()> uninstall;
};

class CManagePage : public QWidget, public IManageView {
 public:
  // Joins the overlay as its manage page (OverlayPage::Manage).
  explicit CManagePage(QStackedWidget& overlay);

  void SetActions(ManageActions actions) { m_actions = std::move(actions); }
  bool Shows() const;
  // What the page's boxes cover: the window's client area, which stays
  // shown when the page is closed.
  QWidget* DialogHost() const;

  // IManageView
  void ShowManagePage(const InstalledStatus& status, bool sizesKnown) override;
  void ShowManageBusy(const std::wstring& text) override;
  bool AskUninstall(std::uint64_t totalBytes, std::uint64_t modelBytes,
                    UninstallChoice& choice) override;
  void ShowManageReport(const std::wstring& title, const std::vector<std::wstring>& lines) override;
  void HideManagePage() override;

 protected:
  // A language switch: the fixed texts and the rows are made again in it.
  void changeEvent(QEvent* event) override;

 private:
  void ApplyFixedTexts();
  void Fill(const InstalledStatus& status, bool sizesKnown);
  struct Tag {
    QString text;
    const char* role;
  };
  QFrame* AddPart(const char* key, const QString& name, const InstalledPart& part, bool sizesKnown,
                  const std::vector<Tag>& tags = {});
  void AddModels(QFrame& store, const InstalledStatus& status);
  void ApplyBusy();

  QStackedWidget& m_overlay;
  ManageActions m_actions;
  QScrollArea* m_scroll;
  QWidget* m_rows;  // the scrolled list
  QVBoxLayout* m_rowsLayout;
  QLabel* m_title;
  QLabel* m_total;
  QLabel* m_busy;
  QPushButton* m_update;  // shown only while a newer package is named
  QPushButton* m_repair;
  QPushButton* m_uninstall;
  bool m_isBusy = false;
  // What the rows show, to make them again in another language.
  std::optional<InstalledStatus> m_status;
  bool m_sizesKnown = false;
};
