#pragma once
// What the manage page needs from the window: it shows what is installed,
// asks before taking anything back and lists what repair and uninstall did.
// Every call comes on the window thread.
#include <cstdint>
#include <string>
#include <vector>

#include <install/installed_status.h>

struct UninstallChoice {
  bool keepModels = false;          // "保留已下载的模型"
  bool removeChatSettings = false;  // the chat client's own settings and chats go too
};

class IManageView {
 public:
  // Opens the page over the window (or refreshes it) with the status; sizes
  // may still be unknown (sizesKnown false), and are shown as being counted.
  virtual void ShowManagePage(const InstalledStatus& status, bool sizesKnown) = 0;
  // While repair, removal or uninstall runs the page's buttons are off and
  // the text says what is happening; an empty text ends it.
  virtual void ShowManageBusy(const std::wstring& text) = 0;
  // Asks before uninstalling, with the switches; false when the user does
  // not go on. totalBytes and modelBytes: what goes with and without models.
  virtual bool AskUninstall(std::uint64_t totalBytes, std::uint64_t modelBytes,
                            UninstallChoice& choice) = 0;
  // What repair or uninstall found and did, a line each.
  virtual void ShowManageReport(const std::wstring& title,
                                const std::vector<std::wstring>& lines) = 0;
  // Closes the page and the overlay it stands on.
  virtual void HideManagePage() = 0;

 protected:
  virtual ~IManageView() = default;
};
