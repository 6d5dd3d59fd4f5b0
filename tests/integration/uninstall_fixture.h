#pragma once
// The uninstall tests' fixture: an installation as the window runs it, the
// manage page's view recorded, and the home folder listed whole.
#include <tests/integration/install_workflow_fixture.h>

#include <algorithm>
#include <sstream>

#include <install/chatbox_client.h>
#include <install/install_steps.h>
#include <install/installed_status.h>
#include <install/manage_engine.h>
#include <install/ollama_runner.h>
#include <install/step_runs.h>
#include <install/uninstall_command.h>

namespace workflow {

// One thread-safe marker the steps' hook throws to break a run off.
struct PowerCut {};

class Uninstall : public InstallWorkflow {
 protected:
  // Everything below the test's home, as "path type mode [size]": links are
  // listed, never followed. The test's own scratch folders and the runtime
  // folder (cleared with the session, never below the home) are left out;
  // log sizes change whenever a server runs.
  std::set<std::string> Listing() const {
    std::set<std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(home_.root(), ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const fs::path relative = it->path().lexically_relative(home_.root());
      const std::string first = relative.begin()->string();
      if (first == "tmp" || first == "run" || relative == "setup-store") {
        it.disable_recursion_pending();
        continue;
      }
      const fs::file_status status = it->symlink_status(ec);
      if (ec) continue;
      const std::u8string name = relative.generic_u8string();
      std::string line = std::string(name.begin(), name.end()) + " " +
                         std::to_string(static_cast<int>(status.type())) + ":" +
                         std::to_string(static_cast<int>(status.permissions()));
      if (status.type() == fs::file_type::regular && it->path().extension() != ".log") {
        line += " " + std::to_string(it->file_size(ec));
      }
      out.insert(line);
    }
    return out;
  }
  // The home as it was before the installation: the fixture made our work
  // folder and key store as the program's start would.
  std::set<std::string> BeforeInstall() {
    std::set<std::string> listing = Listing();
    for (auto it = listing.begin(); it != listing.end();) {
      const bool ours = it->rfind("data/Tidewell", 0) == 0 || it->rfind("config/Tidewell", 0) == 0;
      it = ours ? listing.erase(it) : std::next(it);
    }
    return listing;
  }
  static std::string Difference(const std::set<std::string>& a, const std::set<std::string>& b) {
    std::string text;
    for (const auto& line : a) {
      if (b.count(line) == 0) text += "  only before: " + line + "\n";
    }
    for (const auto& line : b) {
      if (a.count(line) == 0) text += "  only after:  " + line + "\n";
    }
    return text;
  }
  StepContext Context(bool removeChatSettings = true) {
    StepContext context;
    context.installation = harness_->OnUI([] { return TakeInstallation(); });
    context.removeChatSettings = removeChatSettings;
    return context;
  }
  void InstallOneModel() {
    Click();
    ASSERT_TRUE(WaitForReadyPage());
  }
  std::shared_ptr<CManageEngine> MakeManage(RecordingManageView& view) {
    return harness_->OnUI([&] {
      return std::make_shared<CManageEngine>(view, harness_->view(), harness_->engine(),
                                             harness_->owner());
    });
  }
  bool WaitIdle(RecordingManageView& view, std::size_t reports) {
    return harness_->WaitUntil(
        [&](RecordingView&) { return view.busy.empty() && view.reports.size() >= reports; });
  }
};

}  // namespace workflow
