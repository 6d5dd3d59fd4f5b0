#pragma once
// The engine's view for tests: remembers what the window would show. Every
// call comes on the (plain) window thread; tests read it there too.
#include <map>
#include <string>
#include <vector>

#include <install/install_view.h>

class RecordingView : public IInstallView {
 public:
  RecordingView();

  void ShowChild(std::string_view name, bool show) override { shown[std::string(name)] = show; }
  void SetChildText(std::string_view name, const std::wstring& text) override {
    texts[std::string(name)] = text;
  }
  std::wstring GetChildText(std::string_view name) override { return texts[std::string(name)]; }
  void EnableChild(std::string_view name, bool enable) override {
    enabled[std::string(name)] = enable;
  }
  void SetChildValue(std::string_view name, int value) override {
    values[std::string(name)] = value;
  }
  void SelectTabPage(std::string_view tab, int page) override { pages[std::string(tab)] = page; }
  int SelectedModelIndex() override { return selectedModel; }
  void ShowOverlay(OverlayPage page) override {
    overlayVisible = true;
    overlayPage = page;
  }
  void HideOverlay() override {
    overlayVisible = false;
    overlayPage = OverlayPage::Progress;
  }
  bool OverlayShows(OverlayPage page) override { return overlayVisible && overlayPage == page; }
  void StartProgressTimer() override { timerRunning = true; }
  void StopProgressTimer() override { timerRunning = false; }
  void ShowMessage(const std::wstring& text, const std::wstring& caption) override {
    messages.push_back(caption + L"|" + text);
  }
  bool AskToContinue(const std::wstring& text, const std::wstring& caption) override {
    questions.push_back(caption + L"|" + text);
    return answerContinue;
  }
  void ShowPullProgress(int row, const PullProgress& progress, const PullTexts& rowTexts) override {
    pulls[row].push_back(progress);
    pullTexts[row] = rowTexts;
  }
  void MarkChildWarning(std::string_view name, bool warning) override {
    warnings[std::string(name)] = warning;
  }

  // The one stage image shown, or "" when none or several are.
  std::string Stage() const;
  bool IsShown(const std::string& name) const;

  std::map<std::string, bool> shown;
  std::map<std::string, std::wstring> texts;
  std::map<std::string, bool> enabled;
  std::map<std::string, int> values;
  std::map<std::string, int> pages;
  std::map<int, std::vector<PullProgress>> pulls;
  std::map<int, PullTexts> pullTexts;  // the latest of each row
  std::map<std::string, bool> warnings;
  std::vector<std::wstring> messages;
  std::vector<std::wstring> questions;
  bool overlayVisible = false;
  OverlayPage overlayPage = OverlayPage::Progress;
  bool timerRunning = false;
  int selectedModel = 0;
  bool answerContinue = true;
};
