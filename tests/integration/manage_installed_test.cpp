// What an installed stack shows of itself, and taking a model back out of
// it: through the runner stand-in's real server API and the client's
// settings file.
#include <tests/integration/install_workflow_fixture.h>

#include <install/chatbox_client.h>
#include <install/installed_status.h>
#include <install/manage_engine.h>
#include <platform/disk_space.h>

#include <algorithm>

namespace {

using namespace workflow;
namespace fs = std::filesystem;

// Another program answering on our address as a runner would, counting the
// deletes it is asked for.
class StrangerRunner {
 public:
  explicit StrangerRunner(const std::string& address) {
    server_.Get("/", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("Ollama is running", "text/plain");
    });
    server_.Delete("/api/delete",
                   [this](const httplib::Request&, httplib::Response&) { ++deletes; });
    bound = BindStranger(server_, std::stoi(address.substr(address.rfind(':') + 1)));
    if (!bound) return;
    serving_ = std::thread([this] { server_.listen_after_bind(); });
    // A stop that comes before the server runs is ignored: it must be running.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~StrangerRunner() {
    if (!bound) return;
    server_.stop();
    serving_.join();
  }

  bool bound = false;
  std::atomic<int> deletes{0};

 private:
  httplib::Server server_;
  std::thread serving_;
};

class ManageInstalled : public InstallWorkflow {
 protected:
  // Removes the model from the manage page; the lines of its one report.
  std::vector<std::wstring> RemoveFromPage(const std::string& tag) {
    auto manage = harness_->OnUI([&] {
      return std::make_shared<CManageEngine>(page_, harness_->view(), harness_->engine(),
                                             harness_->owner());
    });
    harness_->OnUI([&] { manage->RemoveModel(tag); });
    EXPECT_TRUE(harness_->WaitUntil(
        [&](RecordingView&) { return page_.busy.empty() && !page_.reports.empty(); }));
    return harness_->OnUI([&] {
      EXPECT_EQ(page_.reports.size(), 1u);
      return page_.reports.empty() ? std::vector<std::wstring>{} : page_.reports.back().second;
    });
  }
  // The model is still in the store and the client still chats with it.
  void ExpectKeptAndChosen(const std::string& tag) {
    EXPECT_TRUE(StoreHas(tag));
    EXPECT_TRUE(ChatboxConfigHasModel(tag));
    Json::Value settings;
    ASSERT_TRUE(ReadChatboxSettings(settings));
    EXPECT_EQ(settings["settings"]["defaultChatModel"]["model"].asString(), tag);
  }
  InstallLayout Layout() const { return MakeInstallLayout(platform::WidePath(install_)); }
  std::vector<std::string> ListedNames() {
    std::vector<std::string> names;
    const auto models = ListRunnerModels(RunnerServerAddress(), 5000);
    EXPECT_TRUE(models.has_value());
    if (models) {
      for (const RunnerModel& model : *models) names.push_back(model.name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  RecordingManageView page_;
};

TEST_F(ManageInstalled, StatusListsEachPartWithItsSizeAndTheModelTheClientUses) {
  ASSERT_NO_FATAL_FAILURE(InstallTwoModels());
  const InstallLayout layout = Layout();
  const InstalledStatus status = CollectInstalledStatus(layout, 5000);

  EXPECT_TRUE(status.runnerProgram);
  ASSERT_TRUE(status.runnerVersion.has_value());
  EXPECT_TRUE(status.serverAnswers);
  EXPECT_EQ(status.runnerVersion, RunnerVersion(RunnerServerAddress(), 5000));
  EXPECT_EQ(RunnerProgramVersion(layout), status.runnerVersion);
  ASSERT_TRUE(status.modelsListed);
  ASSERT_EQ(status.models.size(), 2u);
  for (const InstalledModel& model : status.models) {
    SCOPED_TRACE(model.name);
    EXPECT_GE(model.size, kModelBytes);
    EXPECT_FALSE(model.modifiedAt.empty());
    EXPECT_EQ(model.usedByChatClient, model.name == "deepseek-r1:7b");
  }

  const struct {
    const char* name;
    const InstalledPart& part;
    std::wstring path;
  } parts[] = {
      {"runner", status.runner, layout.ollamaFolder},
      {"model store", status.modelStore, layout.modelStore},
      {"chat client", status.chatClient, layout.chatboxFolder},
      {"package", status.package, PackageArchivePath()},
      {"settings", status.settings, platform::WidePath(home_.config() / "Tidewell")},
      {"work", status.work, platform::WidePath(home_.data() / "Tidewell")},
  };
  std::uint64_t sum = 0;
  for (const auto& p : parts) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(platform::OsPath(p.part.path), platform::OsPath(p.path));
    // Where the settings are the registry's, the folder holds only the
    // installation record.
    if (&p.part == &status.settings && !workflow::SettingsAreFiles()) {
      sum += p.part.bytes;
      continue;
    }
    EXPECT_TRUE(p.part.present);
    EXPECT_GT(p.part.bytes, 0u);
    sum += p.part.bytes;
  }
  // Two models of kModelBytes each lie in the store.
  EXPECT_GE(status.modelStore.bytes, 2 * kModelBytes);
  // The package lies in the work folder and is counted once.
  EXPECT_EQ(status.work.bytes + status.package.bytes,
            platform::SizeOnDisk(platform::WidePath(home_.data() / "Tidewell")));
  EXPECT_EQ(status.totalBytes, sum);

  // What `tidewell --status` prints, and its exit code.
  EXPECT_EQ(StateOf(status), InstalledState::Complete);
  const std::string report = InstalledStatusReport(status, RunnerServerAddress());
  EXPECT_NE(report.find("model: deepseek-r1:7b"), std::string::npos) << report;
  EXPECT_NE(report.find("(the chat client's)"), std::string::npos) << report;
  EXPECT_NE(report.find("runner server: " + RunnerServerAddress() + " (version "),
            std::string::npos)
      << report;
}

TEST_F(ManageInstalled, WithoutOurServerNothingIsListedAndNothingStarts) {
  ASSERT_NO_FATAL_FAILURE(InstallTwoModels());
  StopStartedRunnerServer();
  const std::string address = RunnerServerAddress();
  ASSERT_FALSE(RunnerAnswers(address, 1000));
  const InstalledStatus status = CollectInstalledStatus(Layout(), 1000);
  EXPECT_TRUE(status.runnerProgram);
  // The program itself says its version; the server is not started for it.
  EXPECT_FALSE(status.serverAnswers);
  ASSERT_TRUE(status.runnerVersion.has_value());
  const std::string ours = *status.runnerVersion;
  EXPECT_FALSE(status.modelsListed);
  EXPECT_TRUE(status.models.empty());
  EXPECT_GE(status.modelStore.bytes, 2 * kModelBytes);
  EXPECT_FALSE(RunnerAnswers(address, 1000));
  EXPECT_EQ(StateOf(status), InstalledState::Complete);  // the store has them

  // Another program on our address does not speak for this installation.
  httplib::Server stranger;
  ASSERT_TRUE(BindStranger(stranger, std::stoi(address.substr(address.rfind(':') + 1))));
  std::thread serving([&] { stranger.listen_after_bind(); });
  // A stop that comes before the server runs is ignored: it must be running.
  while (!stranger.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const InstalledStatus other = CollectInstalledStatus(Layout(), 1000);
  EXPECT_FALSE(other.serverAnswers);
  EXPECT_EQ(other.runnerVersion, ours);
  EXPECT_FALSE(other.modelsListed);
  stranger.stop();
  serving.join();
}

TEST_F(ManageInstalled, RemovingModelsThroughTheRunnerAndFromTheClientSettings) {
  ASSERT_NO_FATAL_FAILURE(InstallTwoModels());
  const InstallLayout layout = Layout();
  const struct {
    const char* tag;
    bool removed;
    std::vector<std::string> listedAfter;
    std::string clientModelAfter;  // empty: the settings choose none
  } steps[] = {
      {"deepseek-r1:7b", true, {"deepseek-r1:1.5b"}, "deepseek-r1:1.5b"},
      {"deepseek-r1:7b", false, {"deepseek-r1:1.5b"}, "deepseek-r1:1.5b"},   // gone already
      {"deepseek-r1:70b", false, {"deepseek-r1:1.5b"}, "deepseek-r1:1.5b"},  // never there
      {"deepseek-r1:1.5b", true, {}, ""},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.tag);
    EXPECT_EQ(DeleteRunnerModel(RunnerServerAddress(), step.tag, 5000), step.removed);
    EXPECT_EQ(ListedNames(), step.listedAfter);
    EXPECT_FALSE(StoreHas(step.tag));
    EXPECT_EQ(DropModelFromChatboxConfig(layout, step.tag, step.listedAfter),
              ChatboxConfigResult::kWritten);
    EXPECT_FALSE(ChatboxConfigHasModel(step.tag));
    Json::Value settings;
    ASSERT_TRUE(ReadChatboxSettings(settings));
    // A current client's file: the choice is defaultChatModel.
    if (step.clientModelAfter.empty()) {
      EXPECT_FALSE(settings["settings"].isMember("defaultChatModel"));
    } else {
      EXPECT_EQ(settings["settings"]["defaultChatModel"]["model"].asString(),
                step.clientModelAfter);
      EXPECT_TRUE(ChatboxConfigHasModel(step.clientModelAfter));
    }
    // The runner's address the user's client talks to stays.
    EXPECT_EQ(settings["settings"]["providers"]["ollama"]["apiHost"].asString(),
              RunnerServerAddress());
  }
  // Two changes, each after a backup of the file as it was; the steps that
  // found nothing to change wrote nothing.
  const std::pair<int, const char*> backups[] = {{1, "deepseek-r1:1.5b"}, {2, "deepseek-r1:7b"}};
  for (const auto& [number, model] : backups) {
    Json::Value backup;
    ASSERT_TRUE(ParseJson(ReadTextFile(platform::OsPath(ChatboxSettingsBackup(number))), backup));
    EXPECT_EQ(backup["settings"]["defaultChatModel"]["model"].asString(), model) << number;
  }
}

// A removal that does not happen leaves the model and the client's choice
// of it: the runner refuses (a manifest it cannot read), or another
// program's runner answers on our address (never asked to delete, ours not
// moved elsewhere, the main window as it was).
TEST_F(ManageInstalled, AModelNotRemovedStaysTheClientsChoice) {
  struct Case {
    const char* name;
    bool stranger;
    const wchar_t* reportSays;
  };
  const Case cases[] = {
      {"another program's runner on our address", true, L"其他程序"},
      {"the runner refuses", false, L"未能删除"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Each case from the install page again: 1.5b, then 7b for the client.
    harness_->OnUI([&] { harness_->view().selectedModel = 0; });
    ASSERT_NO_FATAL_FAILURE(InstallTwoModels());
    std::unique_ptr<StrangerRunner> stranger;
    const std::string address = RunnerServerAddress();
    if (c.stranger) {
      StopStartedRunnerServer();
      stranger = std::make_unique<StrangerRunner>(address);
      ASSERT_TRUE(stranger->bound);
    } else {
      std::ofstream(install_ / "ollama_models" / "manifests" / "registry.ollama.ai" / "library" /
                    "deepseek-r1" / "7b")
          << "not a manifest";
    }
    page_.reports.clear();
    const std::vector<std::wstring> report = RemoveFromPage("deepseek-r1:7b");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_NE(report[0].find(c.reportSays), std::wstring::npos);
    ExpectKeptAndChosen("deepseek-r1:7b");
    if (!stranger) continue;
    EXPECT_EQ(stranger->deletes, 0);
    EXPECT_EQ(RunnerServerAddress(), address);
    harness_->OnUI([&] {
      RecordingView& v = harness_->view();
      EXPECT_TRUE(v.Ready());
      EXPECT_EQ(v.state.readyModel, L"已下载 deepseek-r1:7b");
    });
  }
}

}  // namespace
