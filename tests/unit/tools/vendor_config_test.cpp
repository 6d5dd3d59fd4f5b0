// The deployed vendor service's configuration: the file's lines, the public
// base URL, the served document and the package's digest.
#include <gtest/gtest.h>

#include <fstream>

#include <tests/support/temp_home.h>
#include <tools/vendor_service/config_document.h>
#include <tools/vendor_service/vendor_config.h>
#include <tools/vendor_service/vendor_deployment.h>

namespace {

namespace fs = std::filesystem;

const std::string kDigest(64, 'a');

TEST(VendorConfigTest, AGoodFileGivesEveryValue) {
  const std::string text =
      "# vendor-service.conf\r\n"
      "\n"
      "  listen_address = ::1  \n"
      "listen_port=8080\n"
      "\tpublic_base_url =  https://dl.vendor.example:8443/tidewell\n"
      "config_document = /etc/tw/config.json\n"
      "package = /srv/tw/deepseek.zip\n"
      "package_sha256 = " + std::string(64, 'A') + "\n"
      "event_log = /var/log/tw/events.log";  // no newline at the end
  VendorConfig config;
  std::string error;
  ASSERT_TRUE(ParseVendorConfig(text, &config, &error)) << error;
  EXPECT_EQ(config.listenAddress, "::1");
  EXPECT_EQ(config.listenPort, 8080);
  EXPECT_EQ(config.publicBaseUrl, "https://dl.vendor.example:8443/tidewell");
  EXPECT_EQ(config.configDocument, "/etc/tw/config.json");
  EXPECT_EQ(config.package, "/srv/tw/deepseek.zip");
  EXPECT_EQ(config.packageSha256, kDigest);  // lower case
  EXPECT_EQ(config.packageSha256File, "");
  EXPECT_EQ(config.eventLog, "/var/log/tw/events.log");
}

TEST(VendorConfigTest, TheSmallestFileKeepsTheDefaults) {
  VendorConfig config;
  std::string error;
  ASSERT_TRUE(ParseVendorConfig("listen_port = 1\npublic_base_url = http://h\n", &config, &error))
      << error;
  EXPECT_EQ(config.listenAddress, "127.0.0.1");
  EXPECT_EQ(config.listenPort, 1);
  EXPECT_EQ(config.package, "");
  EXPECT_EQ(config.eventLog, "");
}

TEST(VendorConfigTest, BadFilesAreRefusedNamingTheLine) {
  const std::string base = "listen_port = 8080\npublic_base_url = http://h\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {base + "listen_port 8080\n", "line 3: expected \"key = value\""},
      {base + " = 1\n", "line 3: no key before '='"},
      {base + "event_log =\n", "line 3: empty value for event_log"},
      {base + "listen_port = 8081\n", "line 3: listen_port already set on line 1"},
      {base + "listen_prot = 1\n", "line 3: unknown key \"listen_prot\""},
      {base + "event_log = /a\x01b\n", "line 3: control character"},
      {"listen_port = 0\n", "line 1: listen_port: not a port number"},
      {"listen_port = 65536\n", "line 1: listen_port: not a port number"},
      {"listen_port = +80\n", "line 1: listen_port: not a port number"},
      {"listen_port = 80x\n", "line 1: listen_port: not a port number"},
      {base + "listen_address = localhost\n", "line 3: listen_address: not a numeric"},
      {base + "listen_address = 256.0.0.1\n", "line 3: listen_address: not a numeric"},
      {base + "listen_address = 1:2::3::4\n", "line 3: listen_address: not a numeric"},
      {base + "event_log = events.log\n", "line 3: event_log: not an absolute path"},
      {base + "config_document = ./c.json\n", "line 3: config_document: not an absolute path"},
      {base + "package = /p\npackage_sha256 = abc\n", "line 4: package_sha256: not 64 hex"},
      {base + "package = /p\npackage_sha256 = " + std::string(64, 'g') + "\n",
       "line 4: package_sha256: not 64 hex"},
      {"public_base_url = http://h\n", "missing listen_port"},
      {"listen_port = 1\n", "missing public_base_url"},
      {base + "package = /p\n", "package is set without package_sha256"},
      {base + "package_sha256 = " + kDigest + "\n", "a package digest is set without package"},
      {base + "package = /p\npackage_sha256 = " + kDigest + "\npackage_sha256_file = /p.sha\n",
       "line 5: package_sha256 and package_sha256_file are both set"},
      {"listen_port = 1\npublic_base_url = ftp://h\n", "line 2: public_base_url: the scheme"},
  };
  for (const auto& c : cases) {
    VendorConfig config;
    config.eventLog = "untouched";
    std::string error;
    EXPECT_FALSE(ParseVendorConfig(c.text, &config, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << "\n -> " << error;
    EXPECT_EQ(config.eventLog, "untouched") << c.text;  // nothing set on failure
  }
}

TEST(VendorConfigTest, PublicBaseUrls) {
  const struct {
    const char* url;
    bool good;
  } cases[] = {
      {"https://vendor.example", true},
      {"http://vendor.example:8080", true},
      {"https://vendor.example/tidewell/v1", true},
      {"https://[2001:db8::1]:443/tw", true},
      {"http://192.0.2.7", true},
      {"https://vendor.example/", false},          // trailing slash
      {"https://vendor.example/tw/", false},       // trailing slash
      {"https://vendor.example?a=1", false},       // query
      {"https://vendor.example/tw#top", false},    // fragment
      {"https://user@vendor.example", false},      // user name
      {"https://", false},                         // no host
      {"https:///tw", false},                      // no host
      {"HTTPS://vendor.example", false},           // the scheme in lower case only
      {"vendor.example", false},                   // no scheme
      {"file:///etc/passwd", false},               // not http
      {"https://vendor.example:0", false},         // port out of range
      {"https://vendor.example:99999", false},     // port out of range
      {"https://vendor.example:", false},          // empty port
      {"https://ven dor.example", false},          // blank
      {"https://vendor.example/\"x", false},       // JSON-special
      {"https://vendor.example/a\\b", false},      // JSON-special
      {"https://vendor.example/$(id)", false},     // shell-special
      {"https://vendor.example/a%2", false},       // bad escape
      {"https://vendor.example/a%2Fb", true},      // good escape
      {"https://vendor.example//a", false},        // empty segment
      {"https://[::1", false},                     // unclosed IPv6
      {"https://-vendor.example", false},          // bad host
      {"https://vendor.example/\xc3\xa9", false},  // non-ASCII
  };
  for (const auto& c : cases) {
    std::string why;
    EXPECT_EQ(CheckPublicBaseUrl(c.url, &why), c.good) << c.url << ": " << why;
    if (!c.good) {
      EXPECT_FALSE(why.empty()) << c.url;
    }
  }
}

TEST(VendorConfigTest, ConfigDocuments) {
  const std::string base = "https://vendor.example/tw";
  const struct {
    std::string text;
    bool good;
    std::string served;  // when good
  } cases[] = {
      // Byte for byte, the placeholder replaced wherever it stands.
      {"{ \"serviceurl\": \"{public_base_url}/support\",\n  \"DeepSeekUrl\": \"\" }\n", true,
       "{ \"serviceurl\": \"https://vendor.example/tw/support\",\n  \"DeepSeekUrl\": \"\" }\n"},
      {"{\"DeepSeekUrls\": [\"{public_base_url}/a\", \"https://cdn.example/b\"], \"x\": 1}", true,
       "{\"DeepSeekUrls\": [\"https://vendor.example/tw/a\", \"https://cdn.example/b\"], \"x\": 1}"},
      {"{}", true, "{}"},
      {"{\"DeepSeekVersion\": \"1.10.2\"}", true, "{\"DeepSeekVersion\": \"1.10.2\"}"},
      {"{\"DeepSeekVersion\": \"1.2 beta\"}", false, ""},
      {"{\"DeepSeekVersion\": 2}", false, ""},
      {"[]", false, ""},
      {"\"text\"", false, ""},
      {"{\"serviceurl\": 5}", false, ""},
      {"{\"serviceurl\": \"javascript:alert(1)\"}", false, ""},
      {"{\"DeepSeekUrl\": \"ftp://x\"}", false, ""},
      {"{\"DeepSeekUrls\": \"https://x\"}", false, ""},
      {"{\"DeepSeekUrls\": [\"\"]}", false, ""},
      {"{\"a\": 1, \"a\": 2}", false, ""},             // duplicate member
      {"{\"a\": 1} // note", false, ""},               // comment
      {"{\"a\": 1} {}", false, ""},                    // trailing text
      {"{\"a\": 1,}", false, ""},                      // trailing comma
      {"{ {public_base_url}: 1 }", false, ""},         // the placeholder outside a string
      {"", false, ""},
  };
  for (const auto& c : cases) {
    std::string served = "untouched";
    std::string error;
    EXPECT_EQ(PrepareConfigDocument(c.text, base, &served, &error), c.good) << c.text << error;
    EXPECT_EQ(served, c.good ? c.served : "untouched") << c.text;
    if (!c.good) {
      EXPECT_FALSE(error.empty()) << c.text;
    }
  }
}

// The files a deployment names, read and checked as the service starts.
class VendorDeploymentTest : public testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes) {
    const fs::path path = home_.root() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  TempHome home_;
};

// SHA-256 of "abc" (FIPS 180-2's example).
const char kAbcDigest[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST_F(VendorDeploymentTest, ThePackageIsServedOnlyWhenItMatchesItsDigest) {
  const struct {
    std::string bytes;
    std::string digestLine;  // the digest file's text
    bool good;
    std::string error;
  } cases[] = {
      {"abc", std::string(kAbcDigest) + "  deepseek.zip\n", true, ""},
      {"abc", std::string(kAbcDigest), true, ""},
      {"abd", std::string(kAbcDigest) + "  deepseek.zip\n", false, "does not match"},
      {"", std::string(kAbcDigest) + "\n", false, "does not match"},
      {"abc", "deepseek.zip " + std::string(kAbcDigest) + "\n", false,
       "does not start with a SHA-256"},
      {"abc", "", false, "does not start with a SHA-256"},
  };
  for (const auto& c : cases) {
    VendorOptions options;
    options.packageFile = Write("deepseek.zip", c.bytes).string();
    options.packageSha256File = Write("deepseek.zip.sha256", c.digestLine).string();
    std::string error;
    platform::FileHandle file;
    const bool good =
        ReadPackageDigestFile(&options, &error) && OpenVerifiedPackage(options, &file, &error);
    EXPECT_EQ(good, c.good) << c.bytes << " / " << c.digestLine << ": " << error;
    EXPECT_EQ(file.valid(), c.good);
    if (!c.good) {
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
}

TEST_F(VendorDeploymentTest, AMissingPackageOrFileIsNamed) {
  VendorOptions options;
  options.packageFile = (home_.root() / "absent.zip").string();
  options.packageSha256 = kAbcDigest;
  std::string error;
  platform::FileHandle file;
  EXPECT_FALSE(OpenVerifiedPackage(options, &file, &error));
  EXPECT_EQ(error.rfind(options.packageFile + ": cannot open", 0), 0u) << error;

  options.packageFile = home_.root().string();  // a folder
  EXPECT_FALSE(OpenVerifiedPackage(options, &file, &error));

  options.configFile = (home_.root() / "absent.conf").string();
  EXPECT_FALSE(ApplyVendorConfigFile(&options, &error));
  EXPECT_EQ(error.rfind(options.configFile + ": cannot read", 0), 0u) << error;
}

TEST_F(VendorDeploymentTest, TheConfigurationFileSetsTheOptions) {
  const fs::path document = Write("config.json", "{\"serviceurl\": \"{public_base_url}/s\"}");
  VendorOptions options;
  options.configFile = Write("vendor-service.conf",
                             "listen_address = 0.0.0.0\nlisten_port = 8080\n"
                             "public_base_url = https://v.example\nconfig_document = " +
                                 document.string() + "\nevent_log = /var/log/tw/e.log\n")
                           .string();
  std::string error;
  ASSERT_TRUE(ApplyVendorConfigFile(&options, &error)) << error;
  EXPECT_EQ(options.listenAddress, "0.0.0.0");
  EXPECT_EQ(options.port, 8080);
  EXPECT_EQ(options.publicBaseUrl, "https://v.example");
  EXPECT_EQ(options.eventLog, "/var/log/tw/e.log");
  std::string served;
  ASSERT_TRUE(LoadConfigDocument(options, options.publicBaseUrl, &served, &error)) << error;
  EXPECT_EQ(served, "{\"serviceurl\": \"https://v.example/s\"}");

  // A bad line is reported with the file's name before it.
  Write("vendor-service.conf", "listen_port = 8080\nwhat\n");
  EXPECT_FALSE(ApplyVendorConfigFile(&options, &error));
  EXPECT_EQ(error, options.configFile + ": line 2: expected \"key = value\"");
}

}  // namespace
