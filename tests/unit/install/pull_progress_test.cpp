#include <install/pull_progress.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The runner server's stream for a model with a large blob and a small
// layer, as it sends it: every layer's total before any of its bytes.
const char kManifest[] = R"({"status":"pulling manifest"})";
const std::string kBlob = std::string("sha256:") + std::string(64, 'a');
const std::string kSmall = std::string("sha256:") + std::string(64, 'b');

std::string Layer(const std::string& digest, unsigned long long total, unsigned long long done) {
  std::string line = R"({"status":"pulling )" + digest.substr(7, 12) + R"(","digest":")" + digest +
                     R"(","total":)" + std::to_string(total);
  if (done > 0) line += R"(,"completed":)" + std::to_string(done);
  return line + "}";
}

struct Case {
  const char* name;
  std::vector<std::string> lines;
  PullPhase phase;
  unsigned long long done;
  unsigned long long total;
  int percent;
  std::string error;
};

TEST(PullStreamReader, FollowsTheServersStream) {
  const std::vector<Case> cases = {
      {"announced totals are not done bytes",
       {kManifest, Layer(kBlob, 19'000'000'000, 0), Layer(kSmall, 1'000, 0)},
       PullPhase::Pulling,
       0,
       19'000'001'000,
       0,
       ""},
      {"bytes are exact and summed over layers",
       {kManifest, Layer(kBlob, 4'000, 0), Layer(kSmall, 1'000, 0), Layer(kBlob, 4'000, 1'999),
        Layer(kSmall, 1'000, 1'000)},
       PullPhase::Pulling,
       2'999,
       5'000,
       59,
       ""},
      {"finished phases in order",
       {kManifest, Layer(kBlob, 10, 10), R"({"status":"verifying sha256 digest"})",
        R"({"status":"writing manifest"})", R"({"status":"removing any unused layers"})",
        R"({"status":"success"})"},
       PullPhase::Success,
       10,
       10,
       100,
       ""},
      {"a layer last seen short of its total is in once the runner verifies",
       {kManifest, Layer(kBlob, 4'000, 3'800), Layer(kSmall, 1'000, 1'000),
        R"({"status":"verifying sha256 digest"})", R"({"status":"writing manifest"})",
        R"({"status":"success"})"},
       PullPhase::Success,
       5'000,
       5'000,
       100,
       ""},
      {"a late progress line never steps the phase back",
       {Layer(kBlob, 10, 5), R"({"status":"verifying sha256 digest"})", Layer(kBlob, 10, 10)},
       PullPhase::Verifying,
       10,
       10,
       100,
       ""},
      {"completed beyond the total is capped",
       {Layer(kBlob, 10, 50)},
       PullPhase::Pulling,
       10,
       10,
       100,
       ""},
      {"the runner's error is kept",
       {kManifest, R"({"error":"pull model manifest: file does not exist"})"},
       PullPhase::Error,
       0,
       0,
       0,
       "pull model manifest: file does not exist"},
      {"values of other types never throw",
       {R"({"status":"pulling x","digest":"sha256:c","total":-5,"completed":1e300})",
        R"({"status":"pulling y","digest":7,"total":"9"})", R"({"error":{"a":1}})"},
       PullPhase::Error,
       0,
       0,
       0,
       "unknown error"},
      {"lines that are not objects are skipped",
       {"[1,2]", "not json", "", R"({"status":"success"})"},
       PullPhase::Success,
       0,
       0,
       0,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Fed one byte at a time and all at once: the same result.
    for (const bool byteWise : {false, true}) {
      PullStreamReader reader;
      std::string all;
      for (const std::string& line : c.lines) all += line + "\n";
      if (byteWise) {
        for (const char ch : all) reader.Feed(std::string_view(&ch, 1));
      } else {
        reader.Feed(all);
      }
      reader.Finish();
      const PullProgress& p = reader.Progress();
      EXPECT_EQ(p.phase, c.phase);
      EXPECT_EQ(p.doneBytes, c.done);
      EXPECT_EQ(p.totalBytes, c.total);
      EXPECT_EQ(p.percent, c.percent);
      EXPECT_EQ(p.errorText, c.error);
    }
  }
}

TEST(PullStreamReader, LastLineWithoutLineEndAndOverlongLines) {
  PullStreamReader reader;
  EXPECT_TRUE(reader.Feed(Layer(kBlob, 100, 0) + "\n"));
  EXPECT_FALSE(reader.Feed(std::string(100 * 1024, 'x')));  // no runner line is that long
  EXPECT_FALSE(reader.Feed("\n"));
  EXPECT_FALSE(reader.Feed(R"({"error":"disk full"})"));
  EXPECT_TRUE(reader.Finish());
  EXPECT_EQ(reader.Progress().phase, PullPhase::Error);
  EXPECT_EQ(reader.Progress().errorText, "disk full");
}

TEST(PullStreamReader, ByteSizesReadAsPeopleDo) {
  EXPECT_EQ(FormatByteSize(387), "387 B");
  EXPECT_EQ(FormatByteSize(2'100'000'000), "2.1 GB");
  EXPECT_EQ(FormatByteSize(20'000'000), "20 MB");
}

}  // namespace
