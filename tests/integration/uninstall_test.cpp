// Taking back what the installation put on the machine: each step undoes
// what it performs, repair puts back what was removed by hand, uninstall
// leaves the home folder as it was before the installation (an uninstall
// broken off at any step is finished by the next start), from the manage
// page and from the terminal.
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

namespace {

using namespace workflow;
namespace fs = std::filesystem;

class RecordingManageView : public IManageView {
 public:
  void ShowManagePage(const InstalledStatus& shown, bool known) override {
    status = shown;
    sizesKnown = known;
    ++pagesShown;
  }
  void ShowManageBusy(const std::wstring& text) override { busy = text; }
  bool AskUninstall(std::uint64_t, std::uint64_t, UninstallChoice& asked) override {
    asked = choice;
    return true;
  }
  void ShowManageReport(const std::wstring& title,
                        const std::vector<std::wstring>& lines) override {
    reports.push_back({title, lines});
  }
  void HideManagePage() override { pageShown = false; }

  InstalledStatus status;
  bool sizesKnown = false;
  int pagesShown = 0;
  bool pageShown = true;
  std::wstring busy;
  UninstallChoice choice;
  std::vector<std::pair<std::wstring, std::vector<std::wstring>>> reports;
};

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

TEST_F(Uninstall, EachStepUndoesWhatItPerformsAndChecksBoth) {
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  const StepContext context = Context();
  auto steps = MakeInstallSteps();
  for (const auto& step : steps) {
    EXPECT_TRUE(step->Check(context).ok) << step->Name() << " after the installation";
  }
  // Backwards, as uninstall goes: each step finds what the ones before it
  // in the installation's order put there.
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    InstallStep& step = **it;
    SCOPED_TRACE(step.Name());
    ASSERT_TRUE(step.Undo(context).ok);
    EXPECT_FALSE(step.Check(context).ok);
    const std::set<std::string> undone = Listing();
    const StepOutcome performed = step.Perform(context);
    ASSERT_TRUE(performed.ok) << WideToUtf8(performed.text);
    EXPECT_TRUE(step.Check(context).ok);
    ASSERT_TRUE(step.Undo(context).ok);
    EXPECT_EQ(Listing(), undone) << Difference(undone, Listing());
    ASSERT_TRUE(step.Perform(context).ok);
  }
}

TEST_F(Uninstall, RemoveAModelRepairWhatWasDeletedThenUninstallFromThePageAndTheTerminal) {
  const std::set<std::string> before = BeforeInstall();
  ASSERT_NO_FATAL_FAILURE(InstallTwoModels());
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(install_));
  RecordingManageView page;
  auto manage = MakeManage(page);

  // The page opens at once with where things are, then with their sizes.
  harness_->OnUI([&] { manage->OpenManagePage(); });
  EXPECT_TRUE(harness_->OnUI([&] { return harness_->view().OverlayShows(OverlayPage::Manage); }));
  ASSERT_TRUE(harness_->WaitUntil([&](RecordingView&) { return page.sizesKnown; }));
  EXPECT_EQ(page.status.models.size(), 2u);

  // Removing 7b (the client's) asks first; the client moves to 1.5b and the
  // ready page shows it.
  harness_->OnUI([&] { manage->RemoveModel("deepseek-r1:7b"); });
  ASSERT_TRUE(WaitIdle(page, 0));
  ASSERT_TRUE(harness_->WaitUntil([&](RecordingView&) { return page.status.models.size() == 1; }));
  EXPECT_FALSE(StoreHas("deepseek-r1:7b"));
  EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:1.5b"));
  harness_->OnUI([&] {
    RecordingView& v = harness_->view();
    EXPECT_EQ(v.questions.size(), 1u);
    EXPECT_NE(v.questions.back().find(L"deepseek-r1:7b"), std::wstring::npos);
    EXPECT_EQ(v.texts["modelstrTxt"], L"已下载 deepseek-r1:1.5b");
    EXPECT_EQ(v.pages["tab_pages2"], 1);
  });

  // The runner deleted by hand: repair installs it again from the kept
  // package and starts its server; what was there stays as it was.
  StopStartedRunnerServer();
  fs::remove_all(install_ / "ollama_location");
  harness_->OnUI([&] { manage->Repair(); });
  ASSERT_TRUE(WaitIdle(page, 1));
  EXPECT_EQ(page.reports[0].first, L"修复完成");
  for (const auto& step : MakeInstallSteps()) {
    EXPECT_TRUE(step->Check(Context()).ok) << step->Name();
  }
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));

  // Uninstall from the page, keeping the models: the store and its
  // environment entry stay, with the client's settings (the user's).
  page.choice.keepModels = true;
  harness_->OnUI([&] { manage->Uninstall(); });
  ASSERT_TRUE(WaitIdle(page, 2));
  EXPECT_EQ(page.reports[1].first, L"卸载完成");
  EXPECT_FALSE(page.pageShown);
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"OLLAMA_MODELS"), layout.modelStore);
  EXPECT_FALSE(fs::exists(install_ / "ollama_location"));
  EXPECT_FALSE(fs::exists(home_.config() / "Tidewell"));
  harness_->OnUI([&] {
    RecordingView& v = harness_->view();
    EXPECT_EQ(v.pages["tab_pages2"], 0);
    EXPECT_EQ(v.Stage(), "imgNoDownDeekSeek");
  });
  const std::vector<std::string> events = Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "uninstall"), 1);

  // The terminal: a "no" removes nothing; --yes takes the models too. What
  // is left is what was there before, and the client's own settings.
  harness_->OnUI([&] { GetServiceState().installFolder = layout.installFolder; });
  SaveInstallPath(layout.installFolder);
  const std::set<std::string> kept = Listing();
  std::istringstream no("n\n");
  std::ostringstream said;
  EXPECT_EQ(RunUninstallCommand({}, no, said), kUninstallNotConfirmed);
  EXPECT_EQ(Listing(), kept) << said.str();
  std::istringstream none;
  UninstallCommandOptions yes;
  yes.assumeYes = true;
  EXPECT_EQ(RunUninstallCommand(yes, none, said), kUninstallDone) << said.str();
  std::set<std::string> after = Listing();
  for (auto it = after.begin(); it != after.end();) {
    it = it->rfind("config/xyz.chatboxapp.app", 0) == 0 ? after.erase(it) : std::next(it);
  }
  EXPECT_EQ(after, before) << Difference(before, after);
}

TEST_F(Uninstall, OneBrokenOffAtAnyStepIsFinishedByTheNextStartLeavingNothing) {
  const std::set<std::string> before = BeforeInstall();
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  std::vector<std::string> names;
  for (const auto& step : MakeInstallSteps()) names.insert(names.begin(), step->Name());
  for (const std::string& cutAt : names) {
    SCOPED_TRACE(cutAt);
    // Everything there again (the model only the first time).
    bool allWell = false;
    RepairInstallation(Context(), &allWell);
    StepContext context = Context();
    context.beforeStep = [&](const char* step) {
      if (step == cutAt) throw PowerCut{};
    };
    EXPECT_THROW(UninstallEverything(context), PowerCut);
    // The next start: the engine's detection finishes it first.
    harness_->OnUI([&] { harness_->engine().StartInstalledModelDetection(); });
    ASSERT_TRUE(
        harness_->WaitUntil([&](RecordingView&) { return !harness_->engine().WorkRunning(); }));
    EXPECT_FALSE(fs::exists(home_.config() / "Tidewell" / "uninstalling.json"));
    GetEventReporter().WaitIdle();
    StopStartedRunnerServer();
    const std::set<std::string> after = Listing();
    EXPECT_EQ(after, before) << Difference(before, after);
  }
  // And a new installation goes through as on a fresh machine.
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
}

}  // namespace
