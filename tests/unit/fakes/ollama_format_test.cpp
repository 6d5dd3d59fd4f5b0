#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>

#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/ollama_format.h>
#include <tests/fakes/ollama_json.h>
#include <tests/fakes/ollama_names.h>
#include <tests/fakes/ollama_progress.h>
#include <tests/fakes/ollama_request.h>
#include <tests/fakes/ollama_scheduler.h>
#include <tests/fakes/ollama_version.h>
#include <tests/support/variables.h>

namespace {

using namespace fake_ollama;

// Sizes as the real runner words them: decimal units rounded for the CLI
// and the pull (HumanBytes), binary units with one decimal for the
// server's memory errors (HumanBytes2).
TEST(FakeOllamaFormat, SizesAsTheRealRunnerWordsThem) {
  const struct {
    bool binary;
    std::uint64_t bytes;
    const char* text;
  } cases[] = {{false, 0, "0 B"},           {false, 999, "999 B"},
               {false, 1000, "1 KB"},       {false, 1500, "1.5 KB"},
               {false, 4200000, "4.2 MB"},  {false, 24500000, "24 MB"},
               {false, 1000000000, "1 GB"}, {false, 1249000000, "1.2 GB"},
               {false, 4683075271, "4.7 GB"},   {false, 19851337640, "19 GB"},
               {false, 404430188519, "404 GB"}, {false, 1500000000000, "1.5 TB"},
               {true, 0, "0 B"},            {true, 1023, "1023 B"},
               {true, 1024, "1.0 KiB"},     {true, 1536, "1.5 KiB"},
               {true, 268435456, "256.0 MiB"},  {true, 4000000000, "3.7 GiB"},
               {true, 5536895135, "5.2 GiB"}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.binary ? HumanBytes2(c.bytes) : HumanBytes(static_cast<std::int64_t>(c.bytes)),
              c.text)
        << c.bytes;
  }
}

TEST(FakeOllamaFormat, UtcTimesAsGoMarshalsThem) {
  const struct {
    std::int64_t seconds, nanoseconds;
    const char* text;
  } cases[] = {{0, 0, "1970-01-01T00:00:00Z"},
               {1'700'000'000, 123'456'789, "2023-11-14T22:13:20.123456789Z"},
               {1'709'208'000, 500'000'000, "2024-02-29T12:00:00.5Z"},
               {951'868'800, 1'000, "2000-03-01T00:00:00.000001Z"},
               {-1, 0, "1969-12-31T23:59:59Z"}};
  for (const auto& c : cases) EXPECT_EQ(Rfc3339NanoUtc(c.seconds, c.nanoseconds), c.text);
}

TEST(FakeOllamaScheduler, DurationsAreReadAsGoReadsThem) {
  const struct {
    const char* text;
    std::int64_t nanoseconds;
    const char* error;  // "" when it is read
  } cases[] = {{"5m", 300'000'000'000, ""},
               {"1h30m", 5'400'000'000'000, ""},
               {"1.5s", 1'500'000'000, ""},
               {".5s", 500'000'000, ""},
               {"-1s", -1'000'000'000, ""},
               {"300ms", 300'000'000, ""},
               {"2\xc2\xb5s", 2'000, ""},
               {"0", 0, ""},
               {"", 0, R"(time: invalid duration "")"},
               {"-", 0, R"(time: invalid duration "-")"},
               {"x", 0, R"(time: invalid duration "x")"},
               {"5", 0, R"(time: missing unit in duration "5")"},
               {"1d", 0, R"(time: unknown unit "d" in duration "1d")"},
               {"99999999999h", 0, R"(time: invalid duration "99999999999h")"}};
  for (const auto& c : cases) {
    Nanoseconds duration{};
    std::string error;
    EXPECT_EQ(ParseGoDuration(c.text, &duration, &error), c.error[0] == '\0') << c.text;
    EXPECT_EQ(error, c.error) << c.text;
    if (c.error[0] == '\0') {
      EXPECT_EQ(duration.count(), c.nanoseconds) << c.text;
    }
  }
}

TEST(FakeOllamaScheduler, KeepAliveIsWholeSecondsOrADurationAndNegativeIsForever) {
  const struct {
    const char* json;
    std::optional<Nanoseconds> keepAlive;
    const char* error;
  } cases[] = {{"null", std::nullopt, ""},
               {"0", Nanoseconds::zero(), ""},
               {"1.9", std::chrono::seconds(1), ""},
               {"-1", Nanoseconds::max(), ""},
               {R"("10m")", std::chrono::minutes(10), ""},
               {R"("-5m")", Nanoseconds::max(), ""},
               {"true", std::nullopt, "Unsupported type: 'bool'"},
               {"[]", std::nullopt, "Unsupported type: '[]interface {}'"},
               {"{}", std::nullopt, "Unsupported type: 'map[string]interface {}'"}};
  for (const auto& c : cases) {
    Json::Value value;
    std::string parseError;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    ASSERT_TRUE(reader->parse(c.json, c.json + std::strlen(c.json), &value, &parseError)) << c.json;
    std::optional<Nanoseconds> keepAlive;
    EXPECT_EQ(ReadKeepAlive(value, &keepAlive), c.error) << c.json;
    EXPECT_EQ(keepAlive, c.keepAlive) << c.json;
  }
}

TEST(FakeOllamaFormat, AgesAndBarDurations) {
  const struct {
    double seconds;
    const char* text;
  } ages[] = {
      {0.5, "Less than a second ago"}, {1, "1 second ago"},         {59, "59 seconds ago"},
      {90, "About a minute ago"},      {3599, "59 minutes ago"},    {5400, "2 hours ago"},
      {3 * 86400, "3 days ago"},       {20 * 86400, "2 weeks ago"}, {90 * 86400, "3 months ago"},
      {800 * 86400, "2 years ago"},    {-30, "30 seconds from now"}};
  for (const auto& c : ages) EXPECT_EQ(HumanAge(c.seconds), c.text) << c.seconds;
  const struct {
    std::int64_t seconds;
    const char* text;
  } durations[] = {{0, "0s"}, {45, "45s"}, {130, "2m10s"}, {3900, "1h5m"}, {360000, "99h+"}};
  for (const auto& c : durations) EXPECT_EQ(BarDuration(c.seconds), c.text) << c.seconds;
}

TEST(FakeOllamaFormat, CalendarPartsReadAsUtcGiveUnixSeconds) {
  const struct {
    int year, month, day, hour, minute, second;
    std::int64_t seconds;
  } cases[] = {{1970, 1, 1, 0, 0, 0, 0},
               {2023, 11, 14, 22, 13, 20, 1'700'000'000},
               {2024, 2, 29, 12, 0, 0, 1'709'208'000},
               {2000, 3, 1, 0, 0, 0, 951'868'800},
               {1969, 12, 31, 23, 59, 59, -1}};
  for (const auto& c : cases) {
    std::tm parts{};
    parts.tm_year = c.year - 1900;
    parts.tm_mon = c.month - 1;
    parts.tm_mday = c.day;
    parts.tm_hour = c.hour;
    parts.tm_min = c.minute;
    parts.tm_sec = c.second;
    EXPECT_EQ(UtcSecondsOf(parts), c.seconds) << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(FakeOllamaFormat, ListTablePadsEveryColumnToItsWidestCellAndFourBlanks) {
  EXPECT_EQ(ListTable({{"deepseek-r1:1.5b", "a42b25d8c10a", 1117322599, 7200},
                       {"deepseek-r1:7b", "0a8c26691023", 4683075271, 7300}}),
            "NAME                ID              SIZE      MODIFIED       \n"
            "deepseek-r1:1.5b    a42b25d8c10a    1.1 GB    2 hours ago    \n"
            "deepseek-r1:7b      0a8c26691023    4.7 GB    2 hours ago    \n");
  EXPECT_EQ(ListTable({}), "NAME    ID    SIZE    MODIFIED    \n");
}

TEST(FakeOllamaProgress, BarLinesRightAlignSizesToSixCharacters) {
  const struct {
    const char* label;
    std::int64_t total, completed;
    double later;  // seconds after the start of the second update
    const char* line;
  } cases[] = {
      // Before a second has passed there is no rate, so no speed or time left.
      {"pulling 6150cb382311...", 19'000'000'000, 1'249'000'000, 0.5,
       "pulling 6150cb382311...   7% ▕█               ▏ 1.2 GB/ 19 GB                  "},
      {"pulling 6150cb382311:", 60'000'000, 24'000'000, 0.5,
       "pulling 6150cb382311:  40% ▕███████           ▏  24 MB/ 60 MB                  "},
      // Two samples two seconds apart: 10 MB/s, 3 s left.
      {"pulling 6150cb382311:", 60'000'000, 30'000'000, 2.0,
       "pulling 6150cb382311:  50% ▕█████████         ▏  30 MB/ 60 MB   10 MB/s      3s"},
      // Done: only the total, no speed.
      {"pulling 6150cb382311...", 387, 387, 2.0,
       "pulling 6150cb382311... 100% ▕████████████████▏  387 B                         "},
  };
  for (const auto& c : cases) {
    ProgressBar bar(c.label, c.total, 0, 100.0);
    bar.Set(c.completed - 20'000'000 > 0 ? c.completed - 20'000'000 : 0, 100.0);
    bar.Set(c.completed, 100.0 + c.later);
    EXPECT_EQ(bar.String(), c.line) << c.label << " " << c.completed;
  }
}

TEST(FakeOllamaProgress, FramesAsEachReleaseDrawsThem) {
  const struct {
    const char* version;
    const char* first;
    const char* second;
    const char* last;
  } cases[] = {
      {"0.5.7", "\x1b[?25lpulling manifest ⠋ \x1b[?25h",
       "\x1b[?25l\x1b[2K\x1b[1Gpulling manifest \nverifying sha256 digest ⠙ \x1b[?25h",
       "\x1b[?25l\x1b[2K\x1b[1G\x1b[A\x1b[2K\x1b[1Gpulling manifest \nverifying sha256 digest "
       "\x1b[?25h\n"},
      {"0.6.6", "\x1b[?2026h\x1b[?25l\x1b[1Gpulling manifest ⠋ \x1b[K\x1b[?25h\x1b[?2026l",
       "\x1b[?2026h\x1b[?25l\x1b[1Gpulling manifest \x1b[K\nverifying sha256 digest ⠙ "
       "\x1b[K\x1b[?25h\x1b[?2026l",
       "\x1b[?2026h\x1b[?25l\x1b[A\x1b[1Gpulling manifest \x1b[K\nverifying sha256 digest "
       "\x1b[K\x1b[?25h\x1b[?2026l\n"},
  };
  for (const auto& c : cases) {
    ProgressBlock block(ParseRunnerVersion(c.version));
    auto manifest = std::make_unique<Spinner>("pulling manifest", 0.0);
    Spinner* first = manifest.get();
    block.AddSpinner(std::move(manifest));
    EXPECT_EQ(block.Render(0.05), c.first) << c.version;
    first->Stop();
    block.AddSpinner(std::make_unique<Spinner>("verifying sha256 digest", 0.0));
    EXPECT_EQ(block.Render(0.15), c.second) << c.version;
    EXPECT_EQ(block.Stop(0.2), c.last) << c.version;
    EXPECT_EQ(block.Stop(0.3), "") << c.version;
  }
}

TEST(FakeOllamaVersion, BehavioursFollowTheRelease) {
  const struct {
    const char* version;
    bool synchronized, colon, clipped;
    const char* cannotConnect;
  } cases[] = {
      {"0.5.7", false, false, false, "could not connect to ollama app, is it running?"},
      {"0.6.0", true, false, false, "could not connect to ollama app, is it running?"},
      {"0.6.5", true, false, false, "could not connect to ollama app, is it running?"},
      {"0.6.6", true, true, false, "could not connect to ollama app, is it running?"},
      {"0.7.1", true, true, true,
       "ollama server not responding - could not connect to ollama server, run 'ollama serve' "
       "to start it"},
      {"v0.15.5", true, true, true,
       "could not connect to ollama server, run 'ollama serve' to start it"},
  };
  for (const auto& c : cases) {
    const RunnerVersion version = ParseRunnerVersion(c.version);
    EXPECT_EQ(version.SynchronizedFrames(), c.synchronized) << c.version;
    EXPECT_EQ(version.ColonLabels(), c.colon) << c.version;
    EXPECT_EQ(version.ClipsToTerminalHeight(), c.clipped) << c.version;
    EXPECT_EQ(version.CannotConnectError(), c.cannotConnect) << c.version;
  }
}

TEST(FakeOllamaEndpoint, HostReadAsTheRealRunnerReadsIt) {
  const struct {
    const char* value;
    const char* scheme;
    const char* host;
    int port;
  } cases[] = {{"", "http", "127.0.0.1", 11434},
               {"127.0.0.1:5000", "http", "127.0.0.1", 5000},
               {"http://127.0.0.1:5001/", "http", "127.0.0.1", 5001},
               {"http://127.0.0.1", "http", "127.0.0.1", 80},
               {"https://example.com", "https", "example.com", 443},
               {":5002", "http", "", 5002},
               {"0.0.0.0", "http", "0.0.0.0", 11434},
               {"0.0.0.0:0", "http", "0.0.0.0", 0},
               {"  '10.0.0.1:5000'  ", "http", "10.0.0.1", 5000},
               {"127.0.0.1:http", "http", "127.0.0.1", 11434},
               {"127.0.0.1:70000", "http", "127.0.0.1", 11434},
               {"[::1]:5003", "http", "::1", 5003},
               {"::1", "http", "::1", 11434},
               // Brackets come off an address the system would take, and only then.
               {"[::1]", "http", "::1", 11434},
               {"[10.0.0.1]", "http", "10.0.0.1", 11434},
               {"[::ffff:10.0.0.1]", "http", "::ffff:10.0.0.1", 11434},
               {"1:2:3:4:5:6:7:8", "http", "1:2:3:4:5:6:7:8", 11434},
               {"[1::2::3]", "http", "[1::2::3]", 11434},
               {"[010.0.0.1]", "http", "[010.0.0.1]", 11434},
               {"[10.0.0.256]", "http", "[10.0.0.256]", 11434},
               {"[1:2:3:4:5:6:7:8:9]", "http", "[1:2:3:4:5:6:7:8:9]", 11434},
               {"[12345::1]", "http", "[12345::1]", 11434},
               {"localhost", "http", "localhost", 11434}};
  for (const auto& c : cases) {
    std::string value = c.value;
    // Quotes and blanks around the value are dropped when it is read from the environment.
    SetVariable("OLLAMA_HOST", value.c_str());
    const HostAddress address = ConfiguredHost();
    EXPECT_EQ(address.scheme, c.scheme) << value;
    EXPECT_EQ(address.host, c.host) << value;
    EXPECT_EQ(address.port, c.port) << value;
  }
  UnsetVariable("OLLAMA_HOST");
  EXPECT_EQ(ParseOllamaHost(":5002").ConnectHost(), "127.0.0.1");
  EXPECT_EQ(ParseOllamaHost("[::1]:5003").HostPort(), "[::1]:5003");
  EXPECT_EQ(ServerPort("127.0.0.1:5000"), 5000);
  EXPECT_EQ(ServerPort(nullptr), 11434);
  std::string base, prefix;
  ASSERT_TRUE(SplitBaseUrl("http://127.0.0.1:8080/models/", &base, &prefix));
  EXPECT_EQ(base, "http://127.0.0.1:8080");
  EXPECT_EQ(prefix, "/models");
  EXPECT_FALSE(SplitBaseUrl("ftp://x/models", &base, &prefix));
}

TEST(FakeOllamaNames, NamesAreCompletedAndCheckedAsTheRealRunnerDoes) {
  const struct {
    const char* text;
    bool valid;
    const char* shortest;
    const char* path;
  } cases[] = {
      {"deepseek-r1:7b", true, "deepseek-r1:7b", "registry.ollama.ai/library/deepseek-r1/7b"},
      {"deepseek-r1", true, "deepseek-r1:latest", "registry.ollama.ai/library/deepseek-r1/latest"},
      {"user/m:1.5b", true, "user/m:1.5b", "registry.ollama.ai/user/m/1.5b"},
      {"host:5000/user/m:t", true, "host:5000/user/m:t", "host:5000/user/m/t"},
      {"../escape", false, "", ""},
      {":7b", false, "", ""},
      {"a/../b", false, "", ""},
      {"deepseek-r1:", false, "", ""},
      {"", false, "", ""},
      {"-x:7b", false, "", ""},
  };
  for (const auto& c : cases) {
    const ModelName name = ParseModelName(c.text);
    EXPECT_EQ(name.IsValid(), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(name.DisplayShortest(), c.shortest) << c.text;
    EXPECT_EQ(name.RelativePath(), c.path) << c.text;
  }
}

TEST(FakeOllamaRequest, BodiesAreReadAsGoReadsThem) {
  const std::vector<RequestField> fields = {{"model", FieldKind::kString},
                                            {"stream", FieldKind::kBool},
                                            {"messages", FieldKind::kArray, "[]api.Message"},
                                            {"keep_alive", FieldKind::kAny}};
  const struct {
    const char* body;
    const char* error;  // "" when it is read
    const char* model;
  } cases[] = {
      {R"({"model":"deepseek-r1:7b"})", "", "deepseek-r1:7b"},
      {R"({"MODEL":"a:1"} trailing)", "", "a:1"},
      {R"({"model":null})", "", ""},
      {"", "missing request body", ""},
      {" \n ", "missing request body", ""},
      {R"({"model":"a)", "unexpected EOF", ""},
      {"{", "unexpected EOF", ""},
      {"x", "invalid character 'x' looking for beginning of value", ""},
      {"{x", "invalid character 'x' looking for beginning of object key string", ""},
      {R"({"model" "a"})", "invalid character '\"' after object key", ""},
      {R"({"model":"a" "b"})", "invalid character '\"' after object key:value pair", ""},
      {R"({"stream":tru})", "invalid character '}' in literal true (expecting 'e')", ""},
      {"[1]", "json: cannot unmarshal array into Go value of type api.PullRequest", ""},
      {R"({"model":5})",
       "json: cannot unmarshal number into Go struct field PullRequest.model of type string", ""},
      {R"({"stream":"no"})",
       "json: cannot unmarshal string into Go struct field PullRequest.stream of type bool", ""},
      {R"({"messages":"hi"})",
       "json: cannot unmarshal string into Go struct field PullRequest.messages of type "
       "[]api.Message",
       ""},
      {R"({"model":"a:1","keep_alive":[1],"messages":[]})", "", "a:1"},
  };
  for (const auto& c : cases) {
    Json::Value out;
    std::string error;
    EXPECT_EQ(DecodeRequest(c.body, "PullRequest", fields, &out, &error), c.error[0] == '\0')
        << c.body;
    EXPECT_EQ(error, c.error) << c.body;
    if (c.error[0] == '\0') {
      EXPECT_EQ(out["model"].asString(), c.model) << c.body;
    }
  }
}

TEST(FakeOllamaJson, FieldsInStructOrderAndHtmlCharactersEscaped) {
  Json::Value line(Json::objectValue);
  line["completed"] = 5;
  line["total"] = 10;
  line["digest"] = "sha256:ab";
  line["status"] = "pulling ab";
  EXPECT_EQ(GoJson(line),
            R"({"status":"pulling ab","digest":"sha256:ab","total":10,"completed":5})");
  Json::Value error(Json::objectValue);
  error["error"] = "a <b> & \"c\"";
  EXPECT_EQ(GoJson(error), R"({"error":"a \u003cb\u003e \u0026 \"c\""})");
}

}  // namespace
