#pragma once
// The manage page's boxes: the question before uninstalling and the report
// of what repair or uninstall did. They show inside the window, over a
// dimmed layer, in the look of the window's own dialogs, so that they read
// as part of the page and not as a system box.
#include <QDialog>
#include <QStringList>

#include <cstdint>

#include <install/manage_view.h>

class QCheckBox;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

// A layer over the whole of its parent with a white panel in its middle: a
// title, the content, the buttons at the bottom right. exec() waits as a
// modal box does; the layer takes the clicks meant for what lies below.
class CInWindowDialog : public QDialog {
 public:
  CInWindowDialog(QWidget* parent, const QString& title, int panelWidth);

 protected:
  QVBoxLayout& Content() { return *m_content; }
  // A button at the bottom right, styled by its role ("secondary",
  // "danger", "primary"); accept and reject are connected by the caller.
  QPushButton* AddButton(const QString& text, const char* role);
  // Sizes the panel to its content and centres it; after the content
  // changes its height.
  void PlacePanel();

  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int m_panelWidth;
  QFrame* m_panel;
  QVBoxLayout* m_content;
  QHBoxLayout* m_buttons;
};

// "将删除 Ollama、已下载的模型、Chatbox 及本程序的设置，共释放约 X。", without
// the models when they are kept.
QString UninstallQuestionText(std::uint64_t freedBytes, bool keepModels);

class CUninstallDialog : public CInWindowDialog {
 public:
  // totalBytes: what goes with the models; modelBytes: the models' share.
  CUninstallDialog(QWidget* parent, std::uint64_t totalBytes, std::uint64_t modelBytes);

  UninstallChoice Choice() const;
  QString Text() const;
  QCheckBox& KeepModels() { return *m_keepModels; }
  QCheckBox& RemoveChatSettings() { return *m_removeChatSettings; }

 private:
  void UpdateText();

  std::uint64_t m_totalBytes;
  std::uint64_t m_modelBytes;
  QLabel* m_text;
  QCheckBox* m_keepModels;
  QCheckBox* m_removeChatSettings;
};

// The title and a line each; the lines scroll when they are many.
class CReportDialog : public CInWindowDialog {
 public:
  CReportDialog(QWidget* parent, const QString& title, const QStringList& lines);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QScrollArea* m_area;
};
