#include <gtest/gtest.h>

#include <tests/fakes/ollama_endpoint.h>
#include <tests/fakes/ollama_format.h>

namespace {

using namespace fake_ollama;

TEST(FakeOllamaFormat, ProgressLineHasTheRealRunnersShape) {
  EXPECT_EQ(ProgressLine("96c415656d37", 2115000000, 4700000000, 20e6),
            "pulling 96c415656d37:  45% ▕███████████              ▏ 2.1 GB/4.7 GB   20 MB/s   "
            "2m10s");
  // Before the first rate measure: no rate and no time left.
  EXPECT_EQ(ProgressLine("96c415656d37", 0, 4200000, 0),
            "pulling 96c415656d37:   0% ▕                         ▏ 0 B/4.2 MB");
  EXPECT_EQ(ProgressLine("96c415656d37", 4200000, 4200000, 2e6),
            "pulling 96c415656d37: 100% ▕█████████████████████████▏ 4.2 MB/4.2 MB   2 MB/s   0s");
}

TEST(FakeOllamaFormat, SizesInDecimalUnits) {
  EXPECT_EQ(HumanBytes(512), "512 B");
  EXPECT_EQ(HumanBytes(4200000), "4.2 MB");
  EXPECT_EQ(HumanBytes(1000000000), "1 GB");
  EXPECT_EQ(HumanBytes(4683075271), "4.7 GB");
  EXPECT_EQ(HumanBytes(42500000000), "42 GB");
  EXPECT_EQ(HumanBytes(404000000000), "404 GB");
}

TEST(FakeOllamaFormat, AgesAndDurations) {
  EXPECT_EQ(HumanAge(0), "Less than a second ago");
  EXPECT_EQ(HumanAge(1), "1 second ago");
  EXPECT_EQ(HumanAge(90), "About a minute ago");
  EXPECT_EQ(HumanAge(7200), "2 hours ago");
  EXPECT_EQ(HumanAge(3 * 86400), "3 days ago");
  EXPECT_EQ(ShortDuration(130), "2m10s");
  EXPECT_EQ(ShortDuration(3605), "1h0m5s");
  EXPECT_EQ(ShortDuration(45), "45s");
}

TEST(FakeOllamaFormat, ListTableColumnsArePaddedToTheWidestCellAndFourBlanks) {
  const std::int64_t now = 1'700'000'000;
  const std::string table = ListTable({{"deepseek-r1:1.5b", "a42b25d8c10a", 1117322599, now - 7200},
                                       {"deepseek-r1:7b", "0a8c26691023", 4683075271, now - 7300}},
                                      now);
  EXPECT_EQ(table,
            "NAME                ID              SIZE      MODIFIED       \n"
            "deepseek-r1:1.5b    a42b25d8c10a    1.1 GB    2 hours ago    \n"
            "deepseek-r1:7b      0a8c26691023    4.7 GB    2 hours ago    \n");
  EXPECT_EQ(ListTable({}, now), "NAME    ID    SIZE    MODIFIED    \n");
}

TEST(FakeOllamaFormat, StatusBlockRedrawsInPlace) {
  StatusBlock block;
  EXPECT_EQ(block.Redraw({"pulling manifest"}), "\x1b[?25lpulling manifest");
  // Clears the line the cursor is on, then moves up over the rest.
  EXPECT_EQ(block.Redraw({"pulling manifest", "p 1%"}),
            "\x1b[?25l\x1b[2K\x1b[1Gpulling manifest\np 1%");
  EXPECT_EQ(block.Redraw({"pulling manifest", "p 2%"}),
            "\x1b[?25l\x1b[2K\x1b[1G\x1b[A\x1b[2K\x1b[1Gpulling manifest\np 2%");
  EXPECT_EQ(block.Finish(), "\n\x1b[?25h");
}

TEST(FakeOllamaEndpoint, HostAndModelSource) {
  EXPECT_EQ(ServerPort(nullptr), 11434);
  EXPECT_EQ(ServerPort("127.0.0.1:5000"), 5000);
  EXPECT_EQ(ServerPort("http://127.0.0.1:5001/"), 5001);
  EXPECT_EQ(ServerPort(":5002"), 5002);
  EXPECT_EQ(ServerPort("127.0.0.1"), 11434);
  EXPECT_EQ(ServerPort("127.0.0.1:http"), -1);
  EXPECT_EQ(ServerPort("10.0.0.1:5000"), -1);
  std::string base, prefix;
  ASSERT_TRUE(SplitBaseUrl("http://127.0.0.1:8080/models/", &base, &prefix));
  EXPECT_EQ(base, "http://127.0.0.1:8080");
  EXPECT_EQ(prefix, "/models");
  EXPECT_FALSE(SplitBaseUrl("ftp://x/models", &base, &prefix));
}

}  // namespace
