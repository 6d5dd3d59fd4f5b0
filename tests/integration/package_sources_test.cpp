// Where the package comes from besides the one address: a file the user
// chose on disk (checked, never removed, nothing downloaded, no wait for the
// configuration), the `--package FILE` argument, and the configuration's
// further locations tried in order, a later one continuing the bytes of an
// earlier one that serves the same file.

#include <fstream>
#include <sstream>

#include <install/local_package.h>
#include <install/package_argument.h>
#include <json/json.h>
#include <platform/os_encoding.h>
#include <platform/utf.h>
#include <tests/integration/install_workflow_fixture.h>
#include <tests/support/vendor_service_process.h>

namespace {

using namespace workflow;
namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class PackageSources : public InstallWorkflow {
 protected:
  // An engine whose configuration has not arrived (the fixture's has): a
  // download would have to wait for it.
  void StartWithoutConfiguration() {
    GetServiceState().packageUrl.clear();
    harness_.reset();
    harness_ = std::make_unique<EngineHarness>();
    harness_->OnUI([this] {
      harness_->view().installFolder = platform::WidePath(install_);
      harness_->engine().pullOptions.publishEveryMs = 0;
    });
  }
  // The user's file, somewhere of theirs, readable by others as files are.
  fs::path WriteUserFile(const std::string& bytes) {
    const fs::path folder = home_.root() / fs::path(u8"U盘") / fs::path(u8"离线安装");
    fs::create_directories(folder);
    const fs::path file = folder / "deepseek-offline.zip";
    std::ofstream(file, std::ios::binary) << bytes;
    SetMode(file, 0644);
    return file;
  }
  bool Choose(const fs::path& file) {
    return harness_->OnUI(
        [&] { return harness_->engine().ChooseLocalPackage(platform::WidePath(file)); });
  }
  std::wstring Cause() {
    return harness_->OnUI([this] {
      RecordingView& v = harness_->view();
      return !v.state.cause.empty() ? v.state.cause : std::wstring();
    });
  }
  bool WaitForRefusal() {
    return harness_->WaitUntil([](RecordingView& v) {
      return v.Stage() == InstallStage::Idle && !v.OverlayShown() && !v.state.cause.empty();
    });
  }
};

enum class LocalFile { Good, GoodWithDigest, Damaged, NotZip, WithoutClientSetup, OtherDigest };

struct LocalCase {
  const char* name;
  LocalFile file;
  std::wstring cause;  // empty: it installs
};

class LocalPackages : public PackageSources, public ::testing::WithParamInterface<LocalCase> {};

TEST_P(LocalPackages, AreCheckedAndNeverDownloadedOrRemoved) {
  const LocalCase& c = GetParam();
  StartWithoutConfiguration();
  std::string bytes;
  switch (c.file) {
    case LocalFile::Good:
    case LocalFile::GoodWithDigest:
    case LocalFile::OtherDigest:
      bytes = package_;
      break;
    case LocalFile::Damaged:
      // A byte of the first entry's compressed data: its CRC (or inflate) fails.
      bytes = package_;
      bytes[30 + std::string("deepseek/OllamaSetup").size() + 8] ^= 0x55;
      break;
    case LocalFile::NotZip:
      bytes = "<html><body>download page</body></html>";
      break;
    case LocalFile::WithoutClientSetup:
      SetPackage(true, false);
      bytes = package_;
      break;
  }
  const fs::path file = WriteUserFile(bytes);
  // A digest that had arrived with the configuration before the click.
  if (c.file == LocalFile::GoodWithDigest) {
    GetServiceState().packageSha256 = FileSha256Hex(file.string());
  } else if (c.file == LocalFile::OtherDigest) {
    GetServiceState().packageSha256 = std::string(64, 'a');
  }
  ASSERT_TRUE(Choose(file));
  harness_->OnUI([&] {
    RecordingView& v = harness_->view();
    EXPECT_EQ(v.state.localPackage, platform::WidePath(file));
    EXPECT_NE(v.state.localPackageLine.find(L"deepseek-offline.zip"), std::wstring::npos);
  });
  Click();
  if (c.cause.empty()) {
    ASSERT_TRUE(WaitForReadyPage());
    EXPECT_TRUE(StoreHas("deepseek-r1:1.5b"));
  } else {
    ASSERT_TRUE(WaitForRefusal()) << Describe();
    EXPECT_NE(Cause().find(c.cause), std::wstring::npos) << Narrow(Cause());
    EXPECT_FALSE(fs::exists(install_ / "deepseek" / "deepseek" / "Chatbox-1.9.8-Setup"));
  }
  // Nothing was asked of the vendor, nothing was kept or copied, and the
  // user's file is as it was.
  EXPECT_EQ(packageRequests_.load(), 0);
  {
    std::lock_guard lock(mutex_);
    EXPECT_EQ(configRequests_, 0);
  }
  EXPECT_FALSE(fs::exists(Archive()));
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(ReadAll(file), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Disk, LocalPackages,
    ::testing::Values(LocalCase{"Good", LocalFile::Good, L""},
                      LocalCase{"GoodWithDigest", LocalFile::GoodWithDigest, L""},
                      LocalCase{"Damaged", LocalFile::Damaged, L"所选的安装包已损坏"},
                      LocalCase{"NotZip", LocalFile::NotZip, L"不是 zip 格式"},
                      LocalCase{"WithoutClientSetup", LocalFile::WithoutClientSetup,
                                L"缺少安装程序"},
                      LocalCase{"OtherDigest", LocalFile::OtherDigest, L"校验值不符"}),
    [](const ::testing::TestParamInfo<LocalCase>& row) { return row.param.name; });

// A file that cannot be used is refused when chosen, naming why; the form
// keeps downloading, and "改为在线下载" goes back from a chosen one.
TEST_F(PackageSources, UnusableChoicesAreRefusedAndTheChoiceCanBeUndone) {
  const fs::path good = WriteUserFile(package_);
  const struct {
    fs::path path;
    std::wstring cause;
  } refused[] = {
      {home_.root() / "nowhere.zip", L"找不到所选的安装包“nowhere.zip”"},
      {home_.root() / fs::path(u8"U盘"), L"不是一个文件"},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(Choose(r.path));
    EXPECT_NE(Cause().find(r.cause), std::wstring::npos) << Narrow(Cause());
    harness_->OnUI([this] {
      EXPECT_TRUE(harness_->engine().localPackage().empty());
      EXPECT_TRUE(harness_->view().state.localPackage.empty());
    });
  }
  ASSERT_TRUE(Choose(good));
  EXPECT_EQ(Cause(), L"");
  harness_->OnUI([this] { harness_->engine().ClearLocalPackage(); });
  harness_->OnUI([this] {
    RecordingView& v = harness_->view();
    EXPECT_TRUE(harness_->engine().localPackage().empty());
    EXPECT_TRUE(v.state.localPackage.empty());
    EXPECT_TRUE(v.state.localPackageLine.empty());
  });
  // Downloading again.
  Click();
  ASSERT_TRUE(WaitForReadyPage());
  EXPECT_EQ(packageRequests_.load(), 1);
  EXPECT_TRUE(fs::exists(good));
}

TEST(PackageArgumentTest, FindsTheFileAndRefusesABadCommandLine) {
  // The file as the system writes it from here: C:\media\usb\p.zip on Windows.
  const auto absolute = [](const wchar_t* path) {
    return platform::WidePath((fs::current_path() / platform::OsPath(path)).lexically_normal());
  };
  const struct {
    std::vector<std::wstring> args;
    bool given;
    std::wstring file;
    std::string error;
  } cases[] = {
      {{L"tidewell"}, false, L"", ""},
      {{L"tidewell", L"--package", L"/media/usb/p.zip"}, true, absolute(L"/media/usb/p.zip"), ""},
      {{L"tidewell", L"--package=/media/usb/p.zip"}, true, absolute(L"/media/usb/p.zip"), ""},
      {{L"tidewell", L"-platform", L"offscreen", L"--package", L"a/../p.zip"},
       true,
       absolute(L"p.zip"),
       ""},
      // Outside any one ANSI code page (Chinese and Cyrillic), with a blank:
      // nothing on the way narrows it.
      {{L"tidewell", L"--package", L"安装 包/пакет.zip"}, true, absolute(L"安装 包/пакет.zip"), ""},
      {{L"tidewell", L"--package"}, false, L"", "--package needs a file"},
      {{L"tidewell", L"--package="}, false, L"", "--package needs a file"},
      {{L"tidewell", L"--package", L""}, false, L"", "--package needs a file"},
      {{L"tidewell", L"--package", L"a.zip", L"--package", L"b.zip"},
       true,
       absolute(L"a.zip"),
       "--package given twice"},
  };
  for (const auto& c : cases) {
    const PackageArgument found =
        FindPackageArgument(std::vector<std::wstring>(c.args.begin() + 1, c.args.end()));
    const std::string line = c.args.size() > 1 ? platform::WideToUtf8(c.args.back()) : "";
    EXPECT_EQ(found.given, c.given) << line;
    EXPECT_EQ(found.file, c.file) << line;
    EXPECT_EQ(found.error, c.error) << line;
  }
}

TEST(PackageLocationsTest, ThePrimaryLeadsUnlessTheListPlacesIt) {
  const auto list = [](std::initializer_list<const char*> urls) {
    Json::Value value(Json::arrayValue);
    for (const char* url : urls) value.append(url);
    return value;
  };
  Json::Value mixed(Json::arrayValue);
  mixed.append(7);
  mixed.append("");
  mixed.append("http://b/p.zip");
  mixed.append("http://b/p.zip");
  const struct {
    std::string primary;
    Json::Value listed;
    std::vector<std::string> expected;
  } cases[] = {
      {"http://a/p.zip", Json::Value(), {"http://a/p.zip"}},
      {"", list({"http://b/p.zip", "http://c/p.zip"}), {"http://b/p.zip", "http://c/p.zip"}},
      {"http://a/p.zip",
       list({"http://b/p.zip", "http://c/p.zip"}),
       {"http://a/p.zip", "http://b/p.zip", "http://c/p.zip"}},
      {"http://a/p.zip",
       list({"http://b/p.zip", "http://a/p.zip"}),
       {"http://b/p.zip", "http://a/p.zip"}},
      {"http://a/p.zip", mixed, {"http://a/p.zip", "http://b/p.zip"}},
      {"http://a/p.zip", Json::Value("http://b/p.zip"), {"http://a/p.zip"}},
      {"", Json::Value(), {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PackageLocations(c.primary, c.listed), c.expected) << c.listed.toStyledString();
  }
}

// The vendor serves the package at two locations: one that breaks off or
// refuses, the other whole. Its output names each request (and where it
// started) and the bytes each answer sent.
enum class Part { Nothing, UpToHalf, FromHalf, Whole };

struct MirrorCase {
  const char* name;
  std::vector<std::string> faults;  // vendor options; "HALF" is half the package's size
  std::wstring cause;               // empty: it installs
  std::vector<std::string> requests;
  // Bytes each location sent: the package crosses the wire once when they
  // add up to it.
  Part first;
  Part mirror;
};

class Mirrors : public PackageSources, public ::testing::WithParamInterface<MirrorCase> {};

TEST_P(Mirrors, AreTriedInOrderAndContinueTheSameFile) {
  const MirrorCase& c = GetParam();
  const fs::path served = home_.root() / "vendor-package.zip";
  std::ofstream(served, std::ios::binary) << package_;
  const std::size_t half = package_.size() / 2;
  std::vector<std::string> args = {"--package", served.string(), "--mirror"};
  for (std::string fault : c.faults) {
    if (const auto at = fault.find("HALF"); at != std::string::npos) {
      fault.replace(at, 4, std::to_string(half));
    }
    args.push_back(fault);
  }
  VendorServiceProcess vendor(args);
  ASSERT_TRUE(vendor.Started());
  GetAppConstants().remoteConfigUrl = vendor.Url("/api/dpsk/config");
  CServiceState& state = GetServiceState();
  ASSERT_EQ(state.FetchRemoteConfig(), ConfigFetch::Applied);
  ASSERT_EQ(state.packageUrls, (std::vector<std::string>{vendor.Url("/package/deepseek.zip"),
                                                         vendor.Url("/mirror/deepseek.zip")}));
  Click();
  if (c.cause.empty()) {
    ASSERT_TRUE(WaitForReadyPage());
  } else {
    ASSERT_TRUE(WaitForRefusal()) << Describe();
    EXPECT_NE(Cause().find(c.cause), std::wstring::npos) << Narrow(Cause());
  }
  ASSERT_EQ(vendor.Stop(), 0);
  std::vector<std::string> requests;
  std::uint64_t sent[2] = {0, 0};
  std::istringstream lines(vendor.Output());
  for (std::string line; std::getline(lines, line);) {
    // On Windows the service's standard output ends its lines with CRLF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("package\t", 0) == 0) {
      std::string request = line.substr(8);
      if (const auto at = request.find(std::to_string(half)); at != std::string::npos) {
        request.replace(at, std::to_string(half).size(), "HALF");
      }
      requests.push_back(request);
    } else if (line.rfind("served\t", 0) == 0) {
      sent[line[7] - '1'] += std::stoull(line.substr(9));
    }
  }
  EXPECT_EQ(requests, c.requests);
  const auto bytes = [&](Part part) -> std::uint64_t {
    switch (part) {
      case Part::Nothing:
        return 0;
      case Part::UpToHalf:
        return half;
      case Part::FromHalf:
        return package_.size() - half;
      case Part::Whole:
        return package_.size();
    }
    return 0;
  };
  EXPECT_EQ(sent[0], bytes(c.first));
  EXPECT_EQ(sent[1], bytes(c.mirror));
}

INSTANTIATE_TEST_SUITE_P(
    Vendor, Mirrors,
    ::testing::Values(
        // The fixture allows one retry after an attempt that brought nothing:
        // the first location is asked again at once from where it stopped,
        // breaks at once, once more after a wait, and the mirror goes on.
        MirrorCase{"FirstBreaksTheMirrorContinues",
                   {"--location-breaks-at", "1:HALF"},
                   L"",
                   {"1\tfrom 0", "1\tfrom HALF", "1\tfrom HALF", "2\tfrom HALF"},
                   Part::UpToHalf,
                   Part::FromHalf},
        MirrorCase{"FirstRefusesTheMirrorStartsOver",
                   {"--location-refuses", "1"},
                   L"",
                   {"1\trefused", "2\tfrom 0"},
                   Part::Nothing,
                   Part::Whole},
        MirrorCase{"AllFailTheLastRefusal",
                   {"--location-breaks-at", "1:HALF", "--location-refuses", "2"},
                   L"2 个下载地址都试过了：服务器没有给出安装包",
                   {"1\tfrom 0", "1\tfrom HALF", "1\tfrom HALF", "2\trefused"},
                   Part::UpToHalf,
                   Part::Nothing},
        MirrorCase{"AllFailTheLastBreak",
                   {"--location-refuses", "1", "--location-breaks-at", "2:HALF"},
                   L"2 个下载地址都试过了：安装包下载中断",
                   {"1\trefused", "2\tfrom 0", "2\tfrom HALF", "2\tfrom HALF"},
                   Part::Nothing,
                   Part::UpToHalf}),
    [](const ::testing::TestParamInfo<MirrorCase>& row) { return row.param.name; });

}  // namespace
