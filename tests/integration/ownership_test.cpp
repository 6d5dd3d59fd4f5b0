// Nothing of the user's is replaced or removed: what the installation
// writes is recorded as it writes it, a folder of the user's where ours
// would go stops the installation (or, for a model store of the runner's
// own layout, is used as it is), and repair and uninstall take back only
// what the record says we made, from every folder ever installed into.
#include <tests/integration/uninstall_fixture.h>

#include <functional>

#include <install/status_command.h>
#include <install/chatbox_process.h>
#include <install/install_engine.h>
#include <install/install_record.h>

namespace {

using namespace workflow;
namespace fs = std::filesystem;

void Put(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

class Ownership : public Uninstall {
 protected:
  // Everything else under the home, as the user would compare it: our own
  // work folder and key store (the program's start makes them) and the
  // chat client's own settings (its chats, kept unless asked) left out.
  std::set<std::string> UsersFiles() {
    std::set<std::string> listing = BeforeInstall();
    std::erase_if(listing, [](const std::string& line) {
      return line.rfind("config/xyz.chatboxapp.app", 0) == 0;
    });
    return listing;
  }
  void UninstallFromTheTerminal() {
    std::istringstream none;
    std::ostringstream said;
    UninstallCommandOptions yes;
    yes.assumeYes = true;
    RunUninstallCommand(yes, none, said);
    GetEventReporter().WaitIdle();
    StopStartedRunnerServer();
  }
  void ChooseFolder(const fs::path& folder) {
    install_ = folder;
    SetPackage(true, true);
    harness_->OnUI([&] {
      RecordingView& v = harness_->view();
      v.installFolder = platform::WidePath(folder);
      // Repair and uninstall work on the folder chosen, as after a click.
      GetServiceState().installFolder = platform::WidePath(folder);
      v.messages.clear();
    });
  }
};

TEST_F(Ownership, ASameNamedObjectOfTheUsersIsLeftAsItWasByInstallRepairAndUninstall) {
  struct Case {
    const char* name;
    const char* folder;  // the install folder below the home ("" for the home itself)
    std::function<void(const fs::path& install, const fs::path& home)> place;
    const wchar_t* stopsAt;  // the folder the installation stops at, or null
    // After the uninstall: what a listing cannot tell.
    std::function<void(const fs::path& home)> after = {};
  };
  // A current client's settings chosen by the user: a remote runner and
  // another provider's model.
  const std::string usersSettings =
      R"({"configVersion":12,"settings":{"theme":"dark","providers":{"ollama":{)"
      R"("apiHost":"http://10.0.0.5:11434","models":[{"modelId":"llama3:8b"}]}},)"
      R"("defaultChatModel":{"provider":"openai","model":"gpt-4o"}},)"
      R"("chat-sessions-list":[{"id":"s1"}]})";
  const std::vector<Case> cases = {
      {"a project named like the unpacked package, in the home picked as install folder", "",
       [](const fs::path& install, const fs::path&) {
         Put(install / "deepseek" / ".git" / "HEAD", "ref: refs/heads/main\n");
         Put(install / "deepseek" / "main.py", "print('mine')\n");
       },
       L"deepseek"},
      {"a folder named like the runner's", "a",
       [](const fs::path& install, const fs::path&) {
         Put(install / "ollama_location" / "notes.txt", "mine");
       },
       L"ollama_location"},
      {"a folder named like the client's", "b",
       [](const fs::path& install, const fs::path&) {
         Put(install / "chatbox_location" / "notes.txt", "mine");
       },
       L"chatbox_location"},
      {"a folder named like the model store holding other things", "c",
       [](const fs::path& install, const fs::path&) {
         Put(install / "ollama_models" / "photos" / "cat.jpg", "jpeg");
       },
       L"ollama_models"},
      {"the user's own model store of the runner's layout: used, and its models stay", "d",
       [](const fs::path& install, const fs::path&) {
         // A whole model as the runner keeps it: one that names no blob
         // of its own would be pruned by the runner itself.
         const std::string digest =
             "9a129038d9a00aed0cf6a7ea059ca50a813449061ab87848cf1a13eafdf33b2c";
         const std::string layer =
             R"({"mediaType":"application/vnd.ollama.image.model","digest":"sha256:)" + digest +
             R"(","size":7})";
         Put(install / "ollama_models" / "manifests" / "registry.ollama.ai" / "library" / "qwen" /
                 "7b",
             R"({"schemaVersion":2,"mediaType":"application/vnd.docker.distribution.manifest.v2+json",)"
             R"("config":)" + layer + R"(,"layers":[)" + layer + "]}");
         Put(install / "ollama_models" / "blobs" / ("sha256-" + digest), "weights");
       },
       nullptr},
      // The install folder and its parent are made by the click: both go.
      {"the user's own OLLAMA_MODELS in another environment file", "e/inner",
       [](const fs::path&, const fs::path& home) {
         Put(home / "config" / "environment.d" / "ollama.conf", "OLLAMA_MODELS=/srv/models\n");
       },
       nullptr},
      {"the user's own login entry under our name", "g",
       [](const fs::path&, const fs::path& home) {
         Put(home / "config" / "autostart" / "tidewell-ollama.desktop",
             "[Desktop Entry]\nType=Application\nName=mine\nExec=/usr/bin/true\n");
       },
       nullptr},
      {"the user's own chat client settings: their choice comes back", "f",
       [&](const fs::path&, const fs::path& home) {
         Put(home / "config" / "xyz.chatboxapp.app" / "config.json", usersSettings);
       },
       nullptr,
       [&](const fs::path& home) {
         const fs::path folder = home / "config" / "xyz.chatboxapp.app";
         Json::Value now;
         Json::Value before;
         ASSERT_TRUE(ParseJson(ReadTextFile(folder / "config.json"), now));
         ASSERT_TRUE(ParseJson(usersSettings, before));
         EXPECT_EQ(now, before) << now.toStyledString();
         // Our backups went with us.
         EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
       }},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(each.name);
    const fs::path folder = each.folder[0] ? home_.root() / each.folder : home_.root();
    each.place(folder, home_.root());
    ChooseFolder(folder);
    const std::set<std::string> before = UsersFiles();
    Click();
    if (each.stopsAt != nullptr) {
      ASSERT_TRUE(WaitForMessage());
      const std::wstring message = Messages().front();
      EXPECT_NE(message.find(L"不是本程序创建的文件夹 " + std::wstring(each.stopsAt)),
                std::wstring::npos)
          << Narrow(message);
      EXPECT_EQ(UsersFiles(), before) << Difference(before, UsersFiles());
      EXPECT_TRUE(harness_->OnUI([&] { return !harness_->engine().WorkRunning(); }));
    } else {
      ASSERT_TRUE(WaitForReadyPage());
      EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
    }
    // Repair takes the same care; uninstall leaves the home as it was.
    bool allWell = false;
    RepairInstallation(Context(), &allWell);
    StopStartedRunnerServer();
    UninstallFromTheTerminal();
    const std::set<std::string> after = UsersFiles();
    EXPECT_EQ(after, before) << Difference(before, after);
    EXPECT_FALSE(fs::exists(platform::OsPath(InstallRecordFile())));
    if (each.after) each.after(home_.root());
  }
}

TEST_F(Ownership, UninstallTakesBackEveryFolderEverInstalledInto) {
  const std::set<std::string> before = UsersFiles();
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  // A later click with another folder records it before anything else
  // happens; that installation then broke off.
  const fs::path other = home_.root() / "other";
  fs::create_directories(other);
  harness_->OnUI([&] { GetServiceState().installFolder = platform::WidePath(other); });
  SaveInstallPath(platform::WidePath(other));
  // --status shows the record: both folders, and what was made in the first.
  std::string status;
  InstalledStatusText(status);
  EXPECT_NE(status.find("install folder  " + platform::WideToOsNarrow(platform::WidePath(install_))),
            std::string::npos)
      << status;
  EXPECT_NE(status.find("install folder  " + platform::WideToOsNarrow(platform::WidePath(other))),
            std::string::npos)
      << status;
  EXPECT_NE(status.find("made    folder " +
                        platform::WideToOsNarrow(platform::WidePath(install_)) + " ("),
            std::string::npos)
      << status;
  UninstallFromTheTerminal();
  fs::remove(other);
  EXPECT_FALSE(fs::exists(install_ / "ollama_location"));
  EXPECT_FALSE(StoreHas("deepseek-r1:1.5b"));
  const std::set<std::string> after = UsersFiles();
  EXPECT_EQ(after, before) << Difference(before, after);
}

TEST_F(Ownership, ABrokenOffUninstallIsFinishedOnlyWhenAskedNeverOverANewInstallation) {
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  const auto breakOffAt = [&](const std::string& cutAt) {
    StepContext context = Context();
    context.beforeStep = [&](const char* step) {
      if (step == cutAt) throw PowerCut{};
    };
    EXPECT_THROW(UninstallEverything(context), PowerCut);
  };
  const auto nextStart = [&] {
    harness_->OnUI([&] { harness_->engine().StartInstalledModelDetection(); });
    EXPECT_TRUE(
        harness_->WaitUntil([&](RecordingView&) { return !harness_->engine().WorkRunning(); }));
  };
  breakOffAt("runner");
  // Told no: nothing more goes, and the question comes again next time.
  harness_->OnUI([&] { harness_->view().answerContinue = false; });
  nextStart();
  EXPECT_EQ(harness_->OnUI([&] { return harness_->view().questions.size(); }), 1u);
  EXPECT_TRUE(fs::exists(install_ / "ollama_location"));
  EXPECT_TRUE(UninstallPending());

  // A new installation wants it all again: the next start asks nothing and
  // removes nothing.
  harness_->OnUI([&] { harness_->view().answerContinue = true; });
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  EXPECT_FALSE(UninstallPending());
  nextStart();
  EXPECT_EQ(harness_->OnUI([&] { return harness_->view().questions.size(); }), 1u);
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
  EXPECT_TRUE(fs::exists(install_ / "ollama_location"));

  // Broken off before the models went: finished from the terminal with
  // --keep-models, they stay.
  breakOffAt("store");
  std::istringstream none;
  std::ostringstream said;
  UninstallCommandOptions keep;
  keep.assumeYes = true;
  keep.keepModels = true;
  EXPECT_EQ(RunUninstallCommand(keep, none, said), kUninstallDone) << said.str();
  EXPECT_TRUE(StoreHas("deepseek-r1:1.5b")) << said.str();
  EXPECT_FALSE(UninstallPending());
}

TEST_F(Ownership, SetupLeftoversGoAndAStoreReplacedByALinkIsNamedNotEmptied) {
  const std::set<std::string> before = UsersFiles();
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  // What a setup broken off midway leaves beside its folder.
  Put(install_ / ".ollama_location.setup-0011223344556677" / "ollama", "half");
  Put(install_ / ".chatbox_location.old-8899aabbccddeeff" / "Chatbox", "older");
  // The store moved elsewhere by the user, a link left in its place.
  StopStartedRunnerServer();
  const fs::path moved = home_.root() / "models-elsewhere";
  fs::rename(install_ / "ollama_models", moved);
  fs::create_directory_symlink(moved, install_ / "ollama_models");

  bool allWell = true;
  const std::vector<std::wstring> lines = RepairInstallation(Context(), &allWell);
  EXPECT_FALSE(allWell);
  std::wstring all;
  for (const std::wstring& line : lines) all += line + L"\n";
  EXPECT_NE(all.find(L"模型存放目录：已被换成指向别处的链接"), std::wstring::npos) << Narrow(all);
  StopStartedRunnerServer();

  StepContext context = Context();
  const UninstallReport report = UninstallEverything(context);
  std::wstring said;
  for (const std::wstring& line : report.lines) said += line + L"\n";
  EXPECT_EQ(said.find(L"模型存放目录：已删除"), std::wstring::npos) << Narrow(said);
  EXPECT_TRUE(fs::exists(moved / "manifests"));
  EXPECT_FALSE(fs::exists(install_ / ".ollama_location.setup-0011223344556677"));
  EXPECT_FALSE(fs::exists(install_ / ".chatbox_location.old-8899aabbccddeeff"));
  // The link and what it points at are the user's now.
  fs::remove(install_ / "ollama_models");
  fs::remove_all(moved);
  fs::remove(install_);
  std::set<std::string> after = UsersFiles();
  EXPECT_EQ(after, before) << Difference(before, after);
}

TEST_F(Ownership, NothingOfTheWindowStartsWhileRepairRunsNorClosesItsPage) {
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  RecordingManageView page;
  auto manage = MakeManage(page);
  harness_->OnUI([&] {
    manage->OpenManagePage();
    manage->Repair();
    // Try-now, a model-list pull and the install click each say why not.
    harness_->engine().TryNow();
    harness_->engine().OnModelRowDownloadClick(2);
    harness_->ClickInstall();
    manage->ClosePage();
    EXPECT_TRUE(page.pageShown);
    EXPECT_FALSE(harness_->engine().WorkRunning());
  });
  const std::vector<std::wstring> messages = Messages();
  ASSERT_EQ(messages.size(), 3u);
  for (const std::wstring& message : messages) {
    EXPECT_NE(message.find(L"正在修复或卸载"), std::wstring::npos) << Narrow(message);
  }
  ASSERT_TRUE(WaitIdle(page, 1));
  // Once it ended, the window works again.
  harness_->OnUI([&] { harness_->engine().TryNow(); });
  EXPECT_TRUE(
      harness_->WaitUntil([&](RecordingView&) { return !harness_->engine().WorkRunning(); }));
  EXPECT_EQ(Messages().size(), 3u);
  // The client try-now started.
  EXPECT_TRUE(StopChatboxIn(MakeInstallLayout(platform::WidePath(install_)).chatboxFolder, 5000));
}

TEST_F(Ownership, RepairOffersOurModelBesideOneTheUserChoseAndNeverOverridesIt) {
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  const fs::path file = platform::OsPath(ChatboxSettingsFile());
  // The user chose another provider's model in the client, and (second
  // round) took ours off its list too.
  for (const bool dropOurs : {false, true}) {
    SCOPED_TRACE(dropOurs);
    Json::Value settings;
    ASSERT_TRUE(ParseJson(ReadTextFile(file), settings));
    settings["settings"]["defaultChatModel"]["provider"] = "openai";
    settings["settings"]["defaultChatModel"]["model"] = "gpt-4o";
    if (dropOurs) settings["settings"]["providers"]["ollama"]["models"] = Json::arrayValue;
    std::string text;
    ASSERT_TRUE(WriteJson(settings, text));
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;

    bool allWell = false;
    const std::vector<std::wstring> lines = RepairInstallation(Context(), &allWell);
    std::wstring said;
    for (const std::wstring& line : lines) said += line + L"\n";
    EXPECT_TRUE(allWell) << Narrow(said);
    ASSERT_TRUE(ParseJson(ReadTextFile(file), settings));
    EXPECT_EQ(settings["settings"]["defaultChatModel"]["model"].asString(), "gpt-4o");
    EXPECT_TRUE(ChatboxConfigListsModel("deepseek-r1:1.5b"));
  }
}

TEST_F(Ownership, TheNextStartShowsTheReadyPageAtOnceFromTheRecordAndTheStore) {
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  StopStartedRunnerServer();
  // A new window and engine, as after a restart.
  harness_.reset();
  harness_ = std::make_unique<EngineHarness>();
  harness_->OnUI([&] {
    RecordingView& v = harness_->view();
    ASSERT_FALSE(v.Ready());
    harness_->engine().StartInstalledModelDetection();
    // Before the runner could have been asked: no install page meanwhile.
    EXPECT_TRUE(v.Ready());
    EXPECT_EQ(v.state.readyModel, L"已下载 deepseek-r1:1.5b");
  });
  EXPECT_TRUE(
      harness_->WaitUntil([&](RecordingView&) { return !harness_->engine().WorkRunning(); }));
  EXPECT_TRUE(harness_->OnUI([&] { return harness_->view().Ready(); }));
}

TEST_F(Ownership, ARunningChatClientIsRestartedOnlyWhenTheUserAgrees) {
  ASSERT_NO_FATAL_FAILURE(InstallOneModel());
  const InstallLayout layout = MakeInstallLayout(platform::WidePath(install_));
  const auto pullRow = [&](int row, bool agree) {
    harness_->OnUI([&] {
      harness_->view().answerContinue = agree;
      harness_->view().questions.clear();
      harness_->engine().OnModelRowDownloadClick(row);
    });
    ASSERT_TRUE(harness_->WaitUntil([&](RecordingView& v) { return !v.Row(row).pulling; }));
    // Asked once (a large model may first be asked about its fit).
    const std::vector<std::wstring> questions =
        harness_->OnUI([&] { return harness_->view().questions; });
    EXPECT_EQ(std::count_if(questions.begin(), questions.end(),
                            [](const std::wstring& question) {
                              return question.find(L"Chatbox 需要重新启动") != std::wstring::npos;
                            }),
              1);
  };
  // A client left running would hold the test's output open.
  struct StopClient {
    const std::wstring& folder;
    ~StopClient() { StopChatboxIn(folder, 5000); }
  } stopClient{layout.chatboxFolder};
  // Declined: the client goes on as it was, and so do its settings...
  ASSERT_TRUE(StartChatbox(layout));
  ASSERT_NO_FATAL_FAILURE(pullRow(2, false));
  EXPECT_TRUE(ChatboxRunsIn(layout.chatboxFolder));
  EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:1.5b"));
  // ...until its next start by try-now, which takes the new model.
  ASSERT_TRUE(StopChatboxIn(layout.chatboxFolder, 5000));
  harness_->OnUI([&] { harness_->engine().TryNow(); });
  ASSERT_TRUE(harness_->WaitUntil([](RecordingView& v) { return !v.state.tryNowBusy; }));
  EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:7b"));
  EXPECT_TRUE(ChatboxRunsIn(layout.chatboxFolder));
  // Agreed: ended, changed, started again.
  ASSERT_NO_FATAL_FAILURE(pullRow(3, true));
  EXPECT_TRUE(ChatboxConfigHasModel("deepseek-r1:8b"));
  EXPECT_TRUE(ChatboxRunsIn(layout.chatboxFolder));
}

}  // namespace
