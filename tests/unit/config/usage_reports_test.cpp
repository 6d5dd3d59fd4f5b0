#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include <config/app_constants.h>
#include <config/reg_key.h>
#include <config/usage_reports.h>
#include <tests/support/temp_home.h>
#include <tests/support/user_sandbox.h>
#include <tests/support/variables.h>

namespace {


// The rule: the remembered switch (never set: on) unless DO_NOT_TRACK asks
// otherwise; only unset, empty, "0" and "false" leave the switch to decide.
TEST(UsageReports, TheSwitchDecidesUnlessDoNotTrackAsks) {
  struct Row {
    std::optional<bool> remembered;
    const char* doNotTrack;
    bool allowed;
  };
  const Row rows[] = {
      {std::nullopt, nullptr, true},
      {true, nullptr, true},
      {false, nullptr, false},
      {std::nullopt, "", true},
      {true, "", true},
      {false, "", false},
      {std::nullopt, "0", true},
      {true, "0", true},
      {false, "0", false},
      {true, "false", true},
      {true, "FALSE", true},
      {std::nullopt, "1", false},
      {true, "1", false},
      {false, "1", false},
      {true, "true", false},
      {true, "yes", false},
      {true, "2", false},
      {true, " 0", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("remembered=") +
                 (row.remembered ? (*row.remembered ? "on" : "off") : "unset") +
                 " DO_NOT_TRACK=" + (row.doNotTrack ? row.doNotTrack : "(unset)"));
    EXPECT_EQ(UsageReportsAllowed(row.remembered, row.doNotTrack), row.allowed);
  }
}

class UsageReportsStore : public ::testing::Test {
 protected:
  UsageReportsStore() {
    saved_ = GetAppConstants();
    ForgetUsageReportsSwitchForTesting();
    UnsetVariable("DO_NOT_TRACK");
  }
  ~UsageReportsStore() override {
    UnsetVariable("DO_NOT_TRACK");
    ForgetUsageReportsSwitchForTesting();
    GetAppConstants() = saved_;
  }
  std::wstring Stored(const wchar_t* name) {
    RegKey key;
    key.Open(platform::kCurrentUser, GetAppConstants().productKeyPath);
    return key.GetStringValue(name);
  }
  void Store(const wchar_t* name, const wchar_t* value) {
    RegKey key(platform::kCurrentUser, GetAppConstants().productKeyPath);
    key.SetStringValue(name, value);
  }

  TempHome home_;
  AppConstants saved_;
};

// (The program's start records its key; reading the switch adds nothing.)
TEST_F(UsageReportsStore, AFreshUserIsAskedNothingAndNothingIsStored) {
  EXPECT_TRUE(UsageReportsSwitch());
  EXPECT_TRUE(UsageReportsAllowed());
  EXPECT_FALSE(UsageNoticeShown());
  for (const wchar_t* name : {kUsageReportsValueName, kUsageNoticeShownValueName}) {
    EXPECT_THROW(Stored(name), winreg::RegException);
  }
}

TEST_F(UsageReportsStore, TheSwitchIsRememberedAsZeroOrOne) {
  ASSERT_TRUE(SetUsageReportsSwitch(false));
  EXPECT_FALSE(UsageReportsAllowed());  // at once, in this process
  EXPECT_EQ(Stored(kUsageReportsValueName), L"0");
  ForgetUsageReportsSwitchForTesting();  // as a later start
  EXPECT_FALSE(UsageReportsSwitch());
  ASSERT_TRUE(SetUsageReportsSwitch(true));
  EXPECT_EQ(Stored(kUsageReportsValueName), L"1");
  ForgetUsageReportsSwitchForTesting();
  EXPECT_TRUE(UsageReportsAllowed());
}

// A value edited by hand into anything but "1" is read as off.
TEST_F(UsageReportsStore, OnlyAOneKeepsAStoredValueOn) {
  for (const wchar_t* value : {L"1", L"0", L"", L"on", L"true"}) {
    Store(kUsageReportsValueName, value);
    ForgetUsageReportsSwitchForTesting();
    EXPECT_EQ(UsageReportsSwitch(), std::wstring(value) == L"1");
  }
}

// Once read, the process keeps the user's word even when the store goes (an
// uninstall takes it while the window stays open).
TEST_F(UsageReportsStore, TheSwitchOutlivesTheStoreInTheProcess) {
  ASSERT_TRUE(SetUsageReportsSwitch(false));
  RemoveUserKeyStore();
  EXPECT_FALSE(UsageReportsAllowed());
}

TEST_F(UsageReportsStore, DoNotTrackOverridesAnOnSwitch) {
  ASSERT_TRUE(SetUsageReportsSwitch(true));
  SetVariable("DO_NOT_TRACK", "1");
  EXPECT_TRUE(DoNotTrackAsked());
  EXPECT_FALSE(UsageReportsAllowed());
  EXPECT_TRUE(UsageReportsSwitch());  // the user's own word is kept
  SetVariable("DO_NOT_TRACK", "0");
  EXPECT_TRUE(UsageReportsAllowed());
}

TEST_F(UsageReportsStore, TheNoticeIsRememberedOnceClosed) {
  EXPECT_FALSE(UsageNoticeShown());
  ASSERT_TRUE(MarkUsageNoticeShown());
  EXPECT_TRUE(UsageNoticeShown());
  EXPECT_EQ(Stored(kUsageNoticeShownValueName), L"1");
}

}  // namespace
