// The local vendor service program, through its HTTP interface and the
// VendorServiceProcess helper the end-to-end tests use.
#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>

#include <json/json.h>
#include <tests/support/temp_home.h>
#include <tests/support/vendor_service_process.h>

namespace {

namespace fs = std::filesystem;

Json::Value ParseObject(const std::string& text) {
  Json::Value value;
  std::string error;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  reader->parse(text.data(), text.data() + text.size(), &value, &error);
  return value;
}

httplib::Result Get(const VendorServiceProcess& vendor, const std::string& path,
                    const httplib::Headers& headers = {}) {
  httplib::Client client("127.0.0.1", vendor.port());
  return client.Get(path, headers);
}

TEST(VendorServiceTest, ConfigurationNamesItsOwnSupportPageAndPackage) {
  VendorServiceProcess vendor;
  ASSERT_TRUE(vendor.Started());
  const auto answer = Get(vendor, "/api/dpsk/config?uuid=ab12&channel=a b&client_version=1.0");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  const Json::Value config = ParseObject(answer->body);
  EXPECT_EQ(config["serviceurl"].asString(), vendor.Url("/support"));
  EXPECT_EQ(config["DeepSeekUrl"].asString(), vendor.Url("/package/deepseek.zip"));
  const auto support = Get(vendor, "/support");
  ASSERT_TRUE(support);
  EXPECT_EQ(support->status, 200);
  EXPECT_NE(support->get_header_value("Content-Type").find("text/html"), std::string::npos);
}

TEST(VendorServiceTest, WithoutPackageUrlTheFieldIsEmpty) {
  VendorServiceProcess vendor({"--no-package-url"});
  ASSERT_TRUE(vendor.Started());
  const auto answer = Get(vendor, "/api/dpsk/config");
  ASSERT_TRUE(answer);
  const Json::Value config = ParseObject(answer->body);
  EXPECT_TRUE(config["DeepSeekUrl"].isString());
  EXPECT_EQ(config["DeepSeekUrl"].asString(), "");
}

TEST(VendorServiceTest, EventsAreLoggedInOrderWithTheirFields) {
  VendorServiceProcess vendor;
  ASSERT_TRUE(vendor.Started());
  for (const char* name : {"opensoftware", "installDeepseek", "clickInstallPackDeepseek"}) {
    const auto answer =
        Get(vendor, std::string("/dpsk/log/log/") + name + "/ch01/WX_1.0.0.1/linux/ab12",
            {{"Content-Type", "application/json"}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->body, "{}");
  }
  EXPECT_EQ(vendor.EventNames(), (std::vector<std::string>{"opensoftware", "installDeepseek",
                                                           "clickInstallPackDeepseek"}));
  const LoggedEvent first = vendor.Events().at(0);
  EXPECT_EQ(first.channel, "ch01");
  EXPECT_EQ(first.version, "1.0.0.1");
  EXPECT_EQ(first.os, "linux");
  EXPECT_EQ(first.uuid, "ab12");
  EXPECT_EQ(ModeOf(vendor.folder() / "events.log"), 0600);
  // A value that would break the line is escaped, not written raw.
  ASSERT_TRUE(Get(vendor, "/dpsk/log/log/bad%09name/c/WX_1/linux/u"));
  EXPECT_EQ(vendor.EventNames().back(), "bad%09name");
}

TEST(VendorServiceTest, PackageIsServedWholeAndByRange) {
  TempHome home;
  const fs::path package = home.root() / "deepseek.zip";
  std::string bytes;
  for (int i = 0; i < 300000; ++i) bytes += static_cast<char>(i * 31 % 251);
  std::ofstream(package, std::ios::binary) << bytes;
  VendorServiceProcess vendor({"--package", package.string()});
  ASSERT_TRUE(vendor.Started());
  const auto whole = Get(vendor, "/package/deepseek.zip");
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(whole->get_header_value("Content-Length"), std::to_string(bytes.size()));
  EXPECT_EQ(whole->body, bytes);
  const auto tail = Get(vendor, "/package/deepseek.zip", {{"Range", "bytes=100000-"}});
  ASSERT_TRUE(tail);
  EXPECT_EQ(tail->status, 206);
  EXPECT_EQ(tail->body, bytes.substr(100000));
}

// A connection that drops midway: the announced length, then fewer bytes.
TEST(VendorServiceTest, PackageCanBreakOffMidway) {
  TempHome home;
  const fs::path package = home.root() / "deepseek.zip";
  std::ofstream(package, std::ios::binary) << std::string(300000, 'p');
  VendorServiceProcess vendor({"--package", package.string(), "--package-breaks-at", "100000"});
  ASSERT_TRUE(vendor.Started());
  httplib::Client client(vendor.Url(""));
  std::string body;
  const auto answer = client.Get("/package/deepseek.zip", [&](const char* data, std::size_t n) {
    body.append(data, n);
    return true;
  });
  EXPECT_FALSE(answer);  // the body ended short of its length
  EXPECT_EQ(body.size(), 100000u);
}

TEST(VendorServiceTest, ARangeIsServedOnlyForTheBodyIfRangeNames) {
  TempHome home;
  const fs::path package = home.root() / "deepseek.zip";
  const std::string bytes(300000, 'p');
  std::ofstream(package, std::ios::binary) << bytes;
  VendorServiceProcess vendor({"--package", package.string()});
  ASSERT_TRUE(vendor.Started());
  const auto whole = Get(vendor, "/package/deepseek.zip");
  ASSERT_TRUE(whole);
  const std::string etag = whole->get_header_value("ETag");
  const std::string lastModified = whole->get_header_value("Last-Modified");
  ASSERT_GE(etag.size(), 3u);
  EXPECT_EQ(etag.front(), '"');  // strong: no W/ before it
  EXPECT_EQ(etag.back(), '"');
  ASSERT_NE(lastModified.find(" GMT"), std::string::npos);

  struct Case {
    std::string ifRange;
    int status;
    std::string body;
  };
  const Case cases[] = {
      {etag, 206, bytes.substr(100000)},
      {lastModified, 206, bytes.substr(100000)},
      {"\"another\"", 200, bytes},
      {"W/" + etag, 200, bytes},  // a weak one never matches
      {"Mon, 01 Jan 2001 00:00:00 GMT", 200, bytes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ifRange);
    const auto answer =
        Get(vendor, "/package/deepseek.zip", {{"Range", "bytes=100000-"}, {"If-Range", c.ifRange}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, c.status);
    EXPECT_TRUE(answer->body == c.body) << answer->body.size() << " bytes";
    EXPECT_EQ(answer->get_header_value("ETag"), etag);
    EXPECT_EQ(answer->has_header("Content-Range"), c.status == 206);
  }

  // Another package in its place: another ETag, and the old one gets it whole.
  std::ofstream(package, std::ios::binary | std::ios::trunc) << bytes << "more";
  const auto changed =
      Get(vendor, "/package/deepseek.zip", {{"Range", "bytes=100000-"}, {"If-Range", etag}});
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->status, 200);
  EXPECT_NE(changed->get_header_value("ETag"), etag);
  EXPECT_EQ(changed->body.size(), bytes.size() + 4);
}

TEST(VendorServiceTest, WithoutAPackageFileThePackageIsMissing) {
  VendorServiceProcess vendor;
  ASSERT_TRUE(vendor.Started());
  const auto answer = Get(vendor, "/package/deepseek.zip");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 404);
}

TEST(VendorServiceTest, ModelsHaveTheirSizeStableBytesAndCanBreak) {
  VendorServiceProcess vendor(
      {"--model-size-bytes", "300000", "--broken-model", "deepseek-r1:8b", "--model", "qwen:0.5b"});
  ASSERT_TRUE(vendor.Started());
  const auto first = Get(vendor, "/models/deepseek-r1:7b");
  const auto second = Get(vendor, "/models/deepseek-r1:7b");
  const auto other = Get(vendor, "/models/deepseek-r1:1.5b");
  ASSERT_TRUE(first && second && other);
  EXPECT_EQ(first->body.size(), 300000u);
  EXPECT_EQ(first->body, second->body);
  EXPECT_NE(first->body, other->body);
  ASSERT_TRUE(Get(vendor, "/models/qwen:0.5b"));
  EXPECT_EQ(Get(vendor, "/models/qwen:0.5b")->status, 200);
  EXPECT_EQ(Get(vendor, "/models/deepseek-r1:9b")->status, 404);
  // The broken model's connection drops halfway: the client sees no whole body.
  const auto broken = Get(vendor, "/models/deepseek-r1:8b");
  EXPECT_TRUE(!broken || broken->body.size() < 300000u);
}

TEST(VendorServiceTest, StopsCleanlyWhenAsked) {
  VendorServiceProcess vendor;
  ASSERT_TRUE(vendor.Started());
  EXPECT_EQ(vendor.Stop(), 0);
  EXPECT_NE(vendor.Output().find("listening on " + vendor.BaseUrl()), std::string::npos);
}

TEST(VendorServiceTest, ABadCommandLineEndsWithUsage) {
  VendorServiceProcess vendor({"--port-typo", "1"});
  EXPECT_FALSE(vendor.Started());
}

// A deployment's configuration file, the command line's options over it.
class DeployedVendorServiceTest : public testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = home_.root() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::string Config(const std::string& extra) {
    return Write("vendor-service.conf",
                 "listen_port = 8080\npublic_base_url = https://dl.vendor.example/tw\n" + extra);
  }
  TempHome home_;
};

TEST_F(DeployedVendorServiceTest, AnswersUseThePublicBaseUrl) {
  const std::string package = Write("deepseek.zip", "abc");
  Write("deepseek.zip.sha256",
        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  deepseek.zip\n");
  const std::string withPackage =
      "package = " + package + "\npackage_sha256_file = " + package + ".sha256\n";
  const std::string document =
      Write("config.json", "{\"serviceurl\": \"{public_base_url}/help\", \"extra\": [1]}\n");
  const struct {
    std::string extra;
    std::string serviceUrl, packageUrl;
    std::string body;  // the document's, when one is served
  } cases[] = {
      {withPackage, "https://dl.vendor.example/tw/support",
       "https://dl.vendor.example/tw/package/deepseek.zip", ""},
      // No package of its own: none is announced.
      {"", "https://dl.vendor.example/tw/support", "", ""},
      {withPackage + "config_document = " + document + "\n", "https://dl.vendor.example/tw/help",
       "", "{\"serviceurl\": \"https://dl.vendor.example/tw/help\", \"extra\": [1]}\n"},
  };
  for (const auto& c : cases) {
    // --port 0 from the helper wins over the file's 8080.
    VendorServiceProcess vendor({"--config", Config(c.extra)});
    ASSERT_TRUE(vendor.Started()) << c.extra;
    const auto answer = Get(vendor, "/api/dpsk/config");
    ASSERT_TRUE(answer);
    const Json::Value config = ParseObject(answer->body);
    EXPECT_EQ(config["serviceurl"].asString(), c.serviceUrl) << c.extra;
    EXPECT_EQ(config["DeepSeekUrl"].asString(), c.packageUrl) << c.extra;
    if (!c.body.empty()) {
      EXPECT_EQ(answer->body, c.body);
    }
    // The package is served where it is announced, the checked bytes.
    const auto served = Get(vendor, "/package/deepseek.zip");
    ASSERT_TRUE(served);
    EXPECT_EQ(served->status, c.extra.empty() ? 404 : 200);
    if (!c.extra.empty()) {
      EXPECT_EQ(served->body, "abc");
    }
    EXPECT_NE(vendor.Output().find("listening on https://dl.vendor.example/tw"), std::string::npos);
  }
}

TEST_F(DeployedVendorServiceTest, ABadConfigurationStopsItWithOneLine) {
  const std::string package = Write("deepseek.zip", "abd");
  const struct {
    std::string extra;
    std::string line;
  } cases[] = {
      {"package = " + package + "\npackage_sha256 = " +
           "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n",
       // The digest it read, named: SHA-256 of "abd".
       "SHA-256 a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9 does not match "
       "the configured"},
      {"listen_port = 1\n", "line 3: listen_port already set on line 1"},
      {"config_document = " + Write("bad.json", "{\"serviceurl\": 1}") + "\n",
       "bad.json: \"serviceurl\" must be a string"},
  };
  for (const auto& c : cases) {
    VendorServiceProcess vendor({"--config", Config(c.extra)});
    EXPECT_FALSE(vendor.Started()) << c.extra;
    const std::string output = vendor.Output();
    EXPECT_NE(output.find(c.line), std::string::npos) << output;
    // One line: the reason, no usage text.
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
  }
}

}  // namespace
