// Updating to a newer package: the runner and the chat client are replaced
// while the models and the client's own settings stay byte for byte; a new
// runner that does not answer is taken out and the old one put back; an
// update broken off at any step is finished or rolled back by the next
// start.
#include <tests/integration/uninstall_fixture.h>

#include <map>
#include <optional>

#include <install/first_answer.h>
#include <install/install_record.h>
#include <install/package_update.h>
#include <install/update_command.h>
#include <install/update_journal.h>
#include <platform/listening_port.h>
#include <platform/os_encoding.h>

namespace {

using namespace workflow;
namespace fs = std::filesystem;

// Every name below a folder with its bytes (folders and links by kind):
// compared whole.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::u8string name = it->path().lexically_relative(root).generic_u8string();
    const fs::file_status status = it->symlink_status(ec);
    out[std::string(name.begin(), name.end())] =
        status.type() == fs::file_type::regular ? ReadTextFile(it->path())
                                                : "kind " + std::to_string(static_cast<int>(status.type()));
  }
  return out;
}

// The names whose bytes differ between two trees, or that only one has.
std::string Differences(const std::map<std::string, std::string>& a,
                        const std::map<std::string, std::string>& b) {
  std::string names;
  for (const auto& [name, bytes] : a) {
    const auto other = b.find(name);
    if (other == b.end() || other->second != bytes) names += name + " ";
  }
  for (const auto& [name, bytes] : b) {
    if (a.count(name) == 0) names += name + " ";
  }
  return names;
}

class Update : public Uninstall {
 protected:
  Update() {
    SetVariable("TIDEWELL_FAKE_OLLAMA_LOAD_MS", "200");
    configVersion_ = "1.9";
    harness_->OnUI([] { GetServiceState().packageVersion = "1.9"; });
  }
  ~Update() override { UnsetVariable("TIDEWELL_FAKE_OLLAMA_LOAD_MS"); }

  // Installed from package 1.9, with a chat of the user's beside the
  // client's settings.
  void InstallFirstVersion() {
    ASSERT_NO_FATAL_FAILURE(InstallOneModel());
    fs::create_directories(ChatFolder());
    std::ofstream(ChatFolder() / "chat-1.json") << R"({"messages":["你好"]})";
    ASSERT_EQ(InstalledPackageVersion(nullptr), "1.9");
  }
  // The vendor names 1.10; its package plays runner 0.6.0 (or one that
  // ends while loading a model, or leaves no runner at all).
  enum class NextRunner { Works, EndsWhileLoading, Missing };
  void OfferNextVersion(NextRunner runner = NextRunner::Works) {
    SetupsWanted wanted;
    wanted.setupInstallsRunner = runner != NextRunner::Missing;
    wanted.runnerVariables = {"TIDEWELL_FAKE_OLLAMA_VERSION=0.6.0"};
    if (runner == NextRunner::EndsWhileLoading) {
      wanted.runnerVariables.push_back("TIDEWELL_FAKE_OLLAMA_DIE_WHILE_LOADING=1");
    }
    wanted.clientMark = "1.10";
    SetPackage(true, true, wanted);
    {
      std::lock_guard lock(mutex_);
      configVersion_ = "1.10";
    }
    harness_->OnUI([] { GetServiceState().packageVersion = "1.10"; });
  }
  fs::path ChatFolder() const { return home_.config() / "xyz.chatboxapp.app"; }
  // What an update must never change.
  std::map<std::string, std::string> Kept() const {
    std::map<std::string, std::string> kept;
    for (const auto& [name, bytes] : Tree(install_ / "ollama_models")) kept["store/" + name] = bytes;
    for (const auto& [name, bytes] : Tree(ChatFolder())) kept["chat/" + name] = bytes;
    return kept;
  }
  // The programs an update replaces.
  std::map<std::string, std::string> Programs() const {
    std::map<std::string, std::string> programs;
    for (const char* folder : {"ollama_location", "chatbox_location"}) {
      for (const auto& [name, bytes] : Tree(install_ / folder)) programs[folder + ("/" + name)] = bytes;
    }
    return programs;
  }
  std::string RunnerVersion() const {
    return RunnerProgramVersion(MakeInstallLayout(platform::WidePath(install_))).value_or("");
  }
  // Our server answers with the model's first answer, on the port it had.
  // Tests running beside this one start runners on the usual port too: one
  // that took it while ours was stopped sends ours to another, as it should.
  void ExpectAnswersOn(const std::string& address) {
    const InstallLayout layout = MakeInstallLayout(platform::WidePath(install_));
    ASSERT_EQ(EnsureRunnerServer(layout, {}, kRunnerServerAnswerTimeoutMs), RunnerServerState::Ready);
    const std::string now = RunnerServerAddress();
    if (now != address) {
      // Moved: no server of ours stays behind on the old port.
      const auto oldPort =
          static_cast<std::uint16_t>(std::stoi(address.substr(address.rfind(':') + 1)));
      EXPECT_EQ(platform::OsNarrowToWide(platform::FindPortOwner(oldPort).executable)
                    .find(platform::WidePath(install_)),
                std::wstring::npos)
          << "ours left " << address << " for " << now;
    }
    EXPECT_EQ(AskFirstAnswer(now, "deepseek-r1:1.5b", FirstAnswerOptions{60000, {}}).cause,
              FirstAnswerCause::Answered);
  }
  bool AsideGone() const { return !fs::exists(install_ / "update_previous"); }
  // What an update starts from.
  struct Before {
    std::string address;
    std::map<std::string, std::string> kept, programs;
  };
  Before Take() const { return {RunnerServerAddress(), Kept(), Programs()}; }
  // Settled either way: nothing pending or set aside, the models and chats
  // as they were, our server answering; the new programs (1.10, runner
  // 0.6.0) or the old ones byte for byte.
  void ExpectSettled(bool updated, const Before& before) {
    EXPECT_FALSE(UpdatePending());
    EXPECT_TRUE(AsideGone());
    EXPECT_EQ(Kept(), before.kept);
    EXPECT_EQ(Differences(Programs(), before.programs).empty(), !updated);
    EXPECT_EQ(InstalledPackageVersion(nullptr), updated ? "1.10" : "1.9");
    EXPECT_EQ(RunnerVersion(), updated ? "0.6.0" : "0.5.7");
    ASSERT_NO_FATAL_FAILURE(ExpectAnswersOn(before.address));
  }
};

TEST_F(Update, ToTheNextPackageFromThePageAndTheTerminalKeepingModelsAndChats) {
  if (!SetupsCarryVariables()) GTEST_SKIP() << "the setups here cannot play another runner";
  for (const bool fromTerminal : {false, true}) {
    SCOPED_TRACE(fromTerminal ? "terminal" : "page");
    ASSERT_NO_FATAL_FAILURE(InstallFirstVersion());
    const Before before = Take();
    ASSERT_EQ(RunnerVersion(), "0.5.7");
    OfferNextVersion();
    if (fromTerminal) {
      std::istringstream none;
      std::ostringstream said;
      EXPECT_EQ(RunUpdateCommand(none, said), kUpdateDone) << said.str();
      EXPECT_NE(said.str().find("更新完成"), std::string::npos) << said.str();
    } else {
      RecordingManageView page;
      auto manage = MakeManage(page);
      harness_->OnUI([&] { manage->OpenManagePage(); });
      EXPECT_EQ(harness_->OnUI([&] { return page.status.updateVersion; }), "1.10");
      harness_->OnUI([&] { manage->Update(); });
      ASSERT_TRUE(WaitIdle(page, 1));
      EXPECT_EQ(page.reports[0].first, L"更新完成");
      EXPECT_EQ(page.status.updateVersion, "");
    }
    ASSERT_NO_FATAL_FAILURE(ExpectSettled(true, before));
    EXPECT_FALSE(UpdateOffered("1.10"));
    const std::vector<std::string> events = Events();
    EXPECT_EQ(std::count(events.begin(), events.end(), "UpdateStart"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "UpdateEnd"), 1);
    if (fromTerminal) break;
    // Again from 1.9 for the terminal's turn.
    ASSERT_EQ(UninstallEverything(Context()).ok, true);
    SetPackage(true, true);
    {
      std::lock_guard lock(mutex_);
      configVersion_ = "1.9";
      events_.clear();
    }
    harness_->OnUI([] { GetServiceState().packageVersion = "1.9"; });
  }
}

TEST_F(Update, TheTerminalSaysWhenNothingNewerIsNamedAndChangesNothing) {
  ASSERT_NO_FATAL_FAILURE(InstallFirstVersion());
  const auto programs = Programs();
  std::istringstream none;
  std::ostringstream said;
  EXPECT_EQ(RunUpdateCommand(none, said), kUpdateDone);
  EXPECT_NE(said.str().find("No update: the installed package is version 1.9, the service names 1.9."),
            std::string::npos)
      << said.str();
  EXPECT_EQ(Differences(Programs(), programs), "");
  EXPECT_EQ(InstalledPackageVersion(nullptr), "1.9");
}

TEST_F(Update, IsOfferedOnlyForANewerVersionOrOverAnInstallationFromBeforeVersions) {
  ASSERT_NO_FATAL_FAILURE(InstallFirstVersion());
  struct Row {
    std::optional<std::string> installed;  // nothing: made before versions were recorded
    std::string named;
    bool offered;
  };
  for (const Row& row : std::vector<Row>{{"1.9", "1.10", true},
                                         {"1.10", "1.9", false},
                                         {"1.10", "1.10.0", false},
                                         {"1.9", "", false},
                                         {"1.9", "1.10-beta", false},
                                         {std::nullopt, "1.0", true},
                                         {"", "1.10", false}}) {
    SCOPED_TRACE(row.installed.value_or("none") + " → " + row.named);
    UpdateInstallRecord([&](InstallRecord& record) {
      if (row.installed) {
        record.SetValue("package", "version", Utf8ToWide(*row.installed));
      } else {
        record.DropValue("package", "version");
      }
    });
    EXPECT_EQ(UpdateOffered(row.named), row.offered);
  }
  // Nothing of ours installed: nothing to update.
  ASSERT_TRUE(UninstallEverything(Context()).ok);
  EXPECT_FALSE(UpdateOffered("99"));
}

TEST_F(Update, ARunnerThatDoesNotAnswerIsRolledBackToTheOldOneWhichAnswers) {
  if (!SetupsCarryVariables()) GTEST_SKIP() << "the setups here cannot play another runner";
  ASSERT_NO_FATAL_FAILURE(InstallFirstVersion());
  const Before before = Take();
  for (const NextRunner runner : {NextRunner::EndsWhileLoading, NextRunner::Missing}) {
    SCOPED_TRACE(static_cast<int>(runner));
    OfferNextVersion(runner);
    StepContext context = Context();
    std::vector<std::string> events;
    UpdateCalls calls;
    calls.report = [&](const std::string& event) { events.push_back(event); };
    const UpdateReport report = UpdatePackage(context, calls);
    EXPECT_EQ(report.result, UpdateResult::RolledBack) << WideToUtf8(report.cause);
    EXPECT_EQ(events, (std::vector<std::string>{"UpdateStart", "UpdateRolledBack"}));
    ASSERT_NO_FATAL_FAILURE(ExpectSettled(false, before));
    EXPECT_TRUE(UpdateOffered("1.10"));
  }
}

TEST_F(Update, ARunningChatClientIsClosedOnlyWhenTheUserAgreesAndStartedAgain) {
  if (!SetupsCarryVariables()) GTEST_SKIP() << "the setups here cannot play another runner";
  ASSERT_NO_FATAL_FAILURE(InstallFirstVersion());
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(install_));
  for (const bool agrees : {false, true}) {
    SCOPED_TRACE(agrees ? "agrees" : "declines");
    // One client at a time: the one a declined update left running stays.
    if (!ChatboxRunsIn(layout.chatboxFolder)) {
      ASSERT_TRUE(StartChatbox(layout));
    }
    OfferNextVersion();
    StepContext context = Context();
    int asked = 0;
    context.restartClient = [&] {
      ++asked;
      return agrees;
    };
    const UpdateReport report = UpdatePackage(context, {});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(report.result, agrees ? UpdateResult::Updated : UpdateResult::NotStarted);
    EXPECT_TRUE(ChatboxRunsIn(layout.chatboxFolder));
    EXPECT_EQ(InstalledPackageVersion(nullptr), agrees ? "1.10" : "1.9");
  }
  EXPECT_TRUE(StopChatboxIn(layout.chatboxFolder));
}

TEST_F(Update, AFileOfTheUsersInAReplacedFolderIsKeptAndNamed) {
  if (!SetupsCarryVariables()) GTEST_SKIP() << "the setups here cannot play another runner";
  ASSERT_NO_FATAL_FAILURE(InstallFirstVersion());
  std::ofstream(install_ / "ollama_location" / "notes.txt") << "mine";
  OfferNextVersion();
  StepContext context = Context();
  const UpdateReport report = UpdatePackage(context, {});
  EXPECT_EQ(report.result, UpdateResult::Updated);
  const fs::path kept = install_ / "update_previous" / "ollama_location" / "notes.txt";
  EXPECT_EQ(ReadTextFile(kept), "mine");
  std::string said;
  for (const std::wstring& line : report.lines) said += WideToUtf8(line) + "\n";
  EXPECT_NE(std::find(report.lines.begin(), report.lines.end(), platform::WidePath(kept)),
            report.lines.end())
      << said;
  // Only the user's file and the folders holding it stay of the old runner,
  // in a folder only its owner may enter.
  EXPECT_EQ(Tree(install_ / "update_previous").size(), 2u);
  EXPECT_EQ(fs::status(install_ / "update_previous").permissions() & fs::perms::all,
            fs::perms::owner_all);
  EXPECT_EQ(InstalledPackageVersion(nullptr), "1.10");
}

TEST_F(Update, OneBrokenOffAtAnyStepIsFinishedOrRolledBackByTheNextStart) {
  if (!SetupsCarryVariables()) GTEST_SKIP() << "the setups here cannot play another runner";
  ASSERT_NO_FATAL_FAILURE(InstallFirstVersion());
  const Before before = Take();
  struct Cut {
    const char* step;
    NextRunner runner;
    bool updated;  // the new programs had answered: the next start keeps them
  };
  // The clean-up last: after it the installation is at 1.10.
  for (const Cut& cut : std::vector<Cut>{{"stop", NextRunner::Works, false},
                                         {"set-aside", NextRunner::Works, false},
                                         {"package", NextRunner::Works, false},
                                         {"runner", NextRunner::Works, false},
                                         {"client", NextRunner::Works, false},
                                         {"server", NextRunner::Works, false},
                                         {"answer", NextRunner::Works, false},
                                         {"restore", NextRunner::EndsWhileLoading, false},
                                         {"clean-up", NextRunner::Works, true}}) {
    SCOPED_TRACE(cut.step);
    OfferNextVersion(cut.runner);
    StepContext context = Context();
    context.beforeStep = [&](const char* step) {
      if (std::string_view(step) == cut.step) throw PowerCut{};
    };
    EXPECT_THROW(UpdatePackage(context, {}), PowerCut);
    // The next start: the engine's detection settles it first.
    harness_->OnUI([&] { harness_->engine().StartInstalledModelDetection(); });
    ASSERT_TRUE(
        harness_->WaitUntil([&](RecordingView&) { return !harness_->engine().WorkRunning(); }));
    ASSERT_NO_FATAL_FAILURE(ExpectSettled(cut.updated, before));
  }
}

}  // namespace
