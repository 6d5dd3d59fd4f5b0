// Taking back what the installation put on the machine: each step undoes
// what it performs, repair puts back what was removed by hand, uninstall
// leaves the home folder as it was before the installation (an uninstall
// broken off at any step is finished by the next start), from the manage
// page and from the terminal.
#include <tests/integration/uninstall_fixture.h>

namespace {

using namespace workflow;
namespace fs = std::filesystem;

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

// Repair that leaves a runner whose model cannot load does not say all is well.
TEST_F(Uninstall, ARepairWhoseModelCannotAnswerSaysSo) {
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  SetVariable("TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING", "1");
  StopStartedRunnerServer();  // the repair's check starts one that reads it
  RecordingManageView page;
  auto manage = MakeManage(page);
  harness_->OnUI([&] { manage->Repair(); });
  ASSERT_TRUE(WaitIdle(page, 0));
  EXPECT_EQ(page.reports[0].first, L"修复未能全部完成");
  ASSERT_FALSE(page.reports[0].second.empty());
  EXPECT_NE(page.reports[0].second.back().find(L"意外退出"), std::wstring::npos)
      << WideToUtf8(page.reports[0].second.back());
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
}

TEST_F(Uninstall, RemoveAModelRepairWhatWasDeletedThenUninstallFromThePageAndTheTerminal) {
  const std::set<std::string> before = BeforeInstall();
  ASSERT_NO_FATAL_FAILURE(InstallTwoModels());
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(install_));
  RecordingManageView page;
  auto manage = MakeManage(page);

  // The page opens at once with where things are, then with their sizes.
  harness_->OnUI([&] { manage->OpenManagePage(); });
  EXPECT_TRUE(harness_->OnUI([&] { return page.pageShown; }));
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
    EXPECT_EQ(v.state.readyModel, L"已下载 deepseek-r1:1.5b");
    EXPECT_TRUE(v.Ready());
  });

  // The runner deleted by hand: repair installs it again from the kept
  // package and starts its server; what was there stays as it was.
  StopStartedRunnerServer();
  fs::remove_all(install_ / "ollama_location");
  harness_->OnUI([&] { manage->Repair(); });
  ASSERT_TRUE(WaitIdle(page, 1));
  EXPECT_EQ(page.reports[0].first, L"修复完成");
  // The repaired runner proved itself with the model's first answer.
  ASSERT_FALSE(page.reports[0].second.empty());
  EXPECT_EQ(page.reports[0].second.back().rfind(L"deepseek-r1:1.5b：首次回答用时 ", 0), 0u)
      << WideToUtf8(page.reports[0].second.back());
  for (const auto& step : MakeInstallSteps()) {
    EXPECT_TRUE(step->Check(Context()).ok) << step->Name();
  }
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));

  // Uninstall from the page, keeping the models: the store stays, handed
  // over to the user, with the client's settings (the user's); our
  // environment entry goes (our server was given the store itself).
  page.choice.keepModels = true;
  harness_->OnUI([&] { manage->Uninstall(); });
  ASSERT_TRUE(WaitIdle(page, 2));
  EXPECT_EQ(page.reports[1].first, L"卸载完成");
  EXPECT_FALSE(page.pageShown);
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
  EXPECT_EQ(platform::ReadUserEnvironmentValue(L"OLLAMA_MODELS"), std::nullopt);
  EXPECT_FALSE(fs::exists(install_ / "ollama_location"));
  EXPECT_FALSE(fs::exists(home_.config() / "Tidewell"));
  harness_->OnUI([&] {
    RecordingView& v = harness_->view();
    EXPECT_EQ(v.Stage(), InstallStage::Idle);
  });
  const std::vector<std::string> events = Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "uninstall"), 1);

  // The terminal: a "no" removes nothing; --yes takes what is recorded.
  // What is left is what was there before, the client's own settings and
  // the kept models, which are no longer ours to remove.
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
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
  const std::string models = platform::WideToUtf8(platform::WidePath(install_.filename()));
  for (auto it = after.begin(); it != after.end();) {
    it = it->rfind("config/xyz.chatboxapp.app", 0) == 0 || it->rfind(models, 0) == 0
             ? after.erase(it)
             : std::next(it);
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
