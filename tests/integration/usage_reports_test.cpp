// The reporter as the user's usage-report switch gates it, on the wire: a
// local service records every event request and every configuration request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <config/usage_reports.h>
#include <service/event_reporter.h>
#include <service/service_state.h>
#include <tests/support/temp_home.h>
#include <tests/support/test_server.h>
#include <tests/support/variables.h>

namespace {

class UsageReportsWire : public ::testing::Test {
 protected:
  UsageReportsWire() {
    ForgetUsageReportsSwitchForTesting();
    UnsetVariable("DO_NOT_TRACK");
    server_.server().Get(R"(/dpsk/log/log/([^/]+)/.*)",
                         [this](const httplib::Request& req, httplib::Response& res) {
                           std::lock_guard lock(mutex_);
                           events_.push_back(req.matches[1].str());
                           res.set_content("{}", "application/json");
                         });
    // A configuration that tries every name a switch could have.
    server_.server().Get(
        "/api/dpsk/config", [this](const httplib::Request&, httplib::Response& res) {
          std::lock_guard lock(mutex_);
          ++configRequests_;
          res.set_content(R"({"serviceurl":"https://kf.example/","UsageReports":"1",)"
                          R"("usageReports":true,"UsageNoticeShown":"1","DO_NOT_TRACK":"0"})",
                          "application/json");
        });
    server_.Start();
    saved_ = GetAppConstants();
    GetAppConstants().eventLogUrl = server_.Url("/dpsk/log/log");
    GetAppConstants().remoteConfigUrl = server_.Url("/api/dpsk/config");
  }
  ~UsageReportsWire() override {
    UnsetVariable("DO_NOT_TRACK");
    ForgetUsageReportsSwitchForTesting();
    GetAppConstants() = saved_;
  }
  std::vector<std::string> Events(CEventReporter& reporter) {
    reporter.WaitIdle();
    std::lock_guard lock(mutex_);
    return events_;
  }

  TempHome home_;
  AppConstants saved_;
  TestServer server_;
  std::mutex mutex_;
  std::vector<std::string> events_;
  int configRequests_ = 0;
};

using Names = std::vector<std::string>;

TEST_F(UsageReportsWire, OffOrDoNotTrackMeansNoEventRequest) {
  struct Row {
    const char* name;
    bool switchOn;
    const char* doNotTrack;  // null: unset
    bool leave;
  };
  for (const Row& row :
       {Row{"on", true, nullptr, true}, Row{"off", false, nullptr, false},
        Row{"DO_NOT_TRACK=1", true, "1", false}, Row{"DO_NOT_TRACK=0", true, "0", true}}) {
    SCOPED_TRACE(row.name);
    {
      std::lock_guard lock(mutex_);
      events_.clear();
    }
    SetUsageReportsSwitch(row.switchOn);
    if (row.doNotTrack != nullptr) {
      SetVariable("DO_NOT_TRACK", row.doNotTrack);
    } else {
      UnsetVariable("DO_NOT_TRACK");
    }
    CEventReporter reporter;
    reporter.Report("opensoftware");
    reporter.Report("installDeepseek");
    reporter.WaitSent();  // never waits for a report that was dropped
    const Names sent = row.leave ? Names{"opensoftware", "installDeepseek"} : Names{};
    EXPECT_EQ(Events(reporter), sent);
  }
}

// Reports that wait in the queue leave only if reports are still on when
// their turn comes.
TEST_F(UsageReportsWire, ReportsWaitingWhenTheSwitchGoesOffNeverLeave) {
  CEventReporter reporter;
  reporter.Hold();
  reporter.Report("opensoftware");
  reporter.Report("installDeepseek");
  reporter.WaitSent();  // a held report is not waited for
  SetUsageReportsSwitch(false);
  reporter.Release();
  EXPECT_EQ(Events(reporter), Names{});
  SetUsageReportsSwitch(true);
  reporter.Report("clickInstallPackDeepseek");
  EXPECT_EQ(Events(reporter), Names{"clickInstallPackDeepseek"});
}

TEST_F(UsageReportsWire, HeldReportsLeaveInOrderOnReleaseOrNeverWhenDropped) {
  {
    CEventReporter reporter;
    reporter.Hold();
    reporter.Report("opensoftware");
    reporter.Report("installDeepseek");
    EXPECT_EQ(Events(reporter), Names{});  // waiting is no sending
    reporter.Release();
    reporter.Report("clickInstallPackDeepseek");
    EXPECT_EQ(Events(reporter),
              (Names{"opensoftware", "installDeepseek", "clickInstallPackDeepseek"}));
  }
  {
    std::lock_guard lock(mutex_);
    events_.clear();
  }
  CEventReporter reporter;
  reporter.Hold();
  reporter.Report("opensoftware");
  reporter.DropHeld();
  reporter.WaitSent();
  reporter.Report("openUserTutorDeepseek");
  EXPECT_EQ(Events(reporter), Names{"openUserTutorDeepseek"});
}

// Whatever the vendor's configuration says, the switch stays the user's.
TEST_F(UsageReportsWire, TheConfigurationCannotTurnReportsOn) {
  SetUsageReportsSwitch(false);
  CServiceState state;
  ASSERT_EQ(state.FetchRemoteConfig(), ConfigFetch::Applied);
  EXPECT_EQ(state.serviceUrl, "https://kf.example/");  // the answer was applied
  EXPECT_FALSE(UsageReportsAllowed());
  ForgetUsageReportsSwitchForTesting();
  EXPECT_FALSE(UsageReportsSwitch());  // nor what is stored
  CEventReporter reporter;
  reporter.Report("opensoftware");
  EXPECT_EQ(Events(reporter), Names{});
  std::lock_guard lock(mutex_);
  EXPECT_EQ(configRequests_, 1);
}

}  // namespace
