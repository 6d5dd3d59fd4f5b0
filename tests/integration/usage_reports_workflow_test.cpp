// A whole installation from the start-up on, as the usage-report switch
// leaves it: with reports off (by the switch, by DO_NOT_TRACK, or turned off
// while the first start held them) the vendor's service sees configuration
// and package requests only, never an event.
#include <tests/integration/install_workflow_fixture.h>

#include <config/usage_reports.h>

namespace {

using namespace workflow;

struct SwitchRow {
  const char* name;
  bool switchOn;
  const char* doNotTrack;  // null: unset
  bool held;               // a first start: the start-up reports wait
  bool offWhileHeld;       // the user turns the switch off before clicking
  bool eventsLeave;
};

class UsageReportsWorkflow : public InstallWorkflow,
                             public ::testing::WithParamInterface<SwitchRow> {
 protected:
  UsageReportsWorkflow() { ForgetUsageReportsSwitchForTesting(); }
  ~UsageReportsWorkflow() override {
    // The reports of the run are over before the switch is forgotten.
    GetEventReporter().WaitIdle();
    UnsetVariable("DO_NOT_TRACK");
    ForgetUsageReportsSwitchForTesting();
  }
};

TEST_P(UsageReportsWorkflow, OnlyConfigurationRequestsWhenReportsAreOff) {
  const SwitchRow& row = GetParam();
  SetUsageReportsSwitch(row.switchOn);
  if (row.doNotTrack != nullptr) SetVariable("DO_NOT_TRACK", row.doNotTrack);
  harness_->OnUI([&] {
    if (row.held) harness_->engine().HoldReportsUntilSeen();
    harness_->engine().StartStartupWork();
  });
  if (row.offWhileHeld) SetUsageReportsSwitch(false);
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  // A row of the model list too: every later click is gated the same way.
  harness_->OnUI([this] { harness_->engine().OnModelRowDownloadClick(2); });
  ASSERT_TRUE(harness_->WaitUntil([this](RecordingView&) { return StoreHas("deepseek-r1:7b"); }));
  ASSERT_TRUE(
      harness_->WaitUntil([this](RecordingView&) { return !harness_->engine().WorkRunning(); }));

  const std::vector<std::string> all = {"opensoftware",
                                        "installDeepseek",
                                        "clickInstallPackDeepseek",
                                        "InstallOllamaStartDeepseek",
                                        "InstallOllamaEndDeepseek",
                                        "DownModelStartDeepseek",
                                        "DownModelEndDeepseek",
                                        "modelDownSuccDeepseek",
                                        "FirstAnswerOkDeepseek",
                                        "modelDownSuccDeepseek",
                                        "FirstAnswerOkDeepseek"};
  EXPECT_EQ(Events(), row.eventsLeave ? all : std::vector<std::string>{});
  std::lock_guard lock(mutex_);
  EXPECT_EQ(configRequests_, 1);  // the installation still has its configuration
}

INSTANTIATE_TEST_SUITE_P(
    Switch, UsageReportsWorkflow,
    ::testing::Values(SwitchRow{"On", true, nullptr, false, false, true},
                      SwitchRow{"Off", false, nullptr, false, false, false},
                      SwitchRow{"DoNotTrack", true, "1", false, false, false},
                      SwitchRow{"DoNotTrackZero", true, "0", false, false, true},
                      SwitchRow{"HeldThenReleasedByTheClick", true, nullptr, true, false, true},
                      SwitchRow{"HeldThenTurnedOff", true, nullptr, true, true, false}),
    [](const ::testing::TestParamInfo<SwitchRow>& row) { return std::string(row.param.name); });

}  // namespace
