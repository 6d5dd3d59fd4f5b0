#pragma once
// What the installation engine needs from the window. Every call comes on
// the window thread; a named element that does not exist is ignored.
#include <string>
#include <string_view>

#include <install/pull_progress.h>

enum class OverlayPage { Progress = 0, ModelList = 1, Manage = 2 };

// What a pull's progress reads as: its line, and the whole text (a row has
// room for a few words only; the rest is a hover away).
struct PullTexts {
  std::wstring line;
  std::wstring full;
};

class IInstallView {
 public:
  // Shows or hides an element (it also leaves or joins the layout).
  virtual void ShowChild(std::string_view name, bool show) = 0;
  virtual void SetChildText(std::string_view name, const std::wstring& text) = 0;
  virtual std::wstring GetChildText(std::string_view name) = 0;
  virtual void EnableChild(std::string_view name, bool enable) = 0;
  // Shows the text as a warning (or as usual again).
  virtual void MarkChildWarning(std::string_view name, bool warning) = 0;
  // A progress bar's value.
  virtual void SetChildValue(std::string_view name, int value) = 0;
  virtual void SelectTabPage(std::string_view tab, int page) = 0;
  // The selected index of the model list "cbx_Model".
  virtual int SelectedModelIndex() = 0;

  virtual void ShowOverlay(OverlayPage page) = 0;
  virtual void HideOverlay() = 0;
  virtual bool OverlayShows(OverlayPage page) = 0;
  // The 50 ms timer that follows the package download.
  virtual void StartProgressTimer() = 0;
  virtual void StopProgressTimer() = 0;

  // A box with an OK button, no owner.
  virtual void ShowMessage(const std::wstring& text, const std::wstring& caption) = 0;
  // A question; true when the user goes on.
  virtual bool AskToContinue(const std::wstring& text, const std::wstring& caption) = 0;

  // A model pull's progress: row 0 is the installation's own pull, rows 1
  // to 7 the model list's.
  virtual void ShowPullProgress(int row, const PullProgress& progress, const PullTexts& texts) = 0;

 protected:
  virtual ~IInstallView() = default;
};
