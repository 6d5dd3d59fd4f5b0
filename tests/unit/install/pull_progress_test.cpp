#include <gtest/gtest.h>

#include <install/pull_progress.h>

namespace {

// What the runner writes while it pulls: one line per layer, redrawn in
// place by moving the cursor up and clearing lines.
const char kHide[] = "\x1b[?25l";
const char kRedraw[] = "\x1b[1G\x1b[A\x1b[2K";

TEST(PullOutputReader, ReadsRedrawnProgressAndPhases) {
  PullOutputReader reader;
  EXPECT_TRUE(reader.Feed(std::string(kHide) + "pulling manifest \x1b[K\n"));
  EXPECT_EQ(reader.Progress().phase, PullPhase::Manifest);

  reader.Feed(
      std::string(kRedraw) +
      "pulling 96c415656d37:  45% ▕████████        ▏ 2.1 GB/4.7 GB   20 MB/s   2m10s\x1b[K");
  PullProgress p = reader.Progress();
  EXPECT_EQ(p.phase, PullPhase::Pulling);
  EXPECT_EQ(p.doneBytes, 2'100'000'000u);
  EXPECT_EQ(p.totalBytes, 4'700'000'000u);
  EXPECT_EQ(p.percent, 45);
  EXPECT_EQ(p.bytesPerSecond, 20'000'000u);
  EXPECT_EQ(p.timeLeft, "2m10s");

  // A carriage return alone also ends a redrawn line.
  reader.Feed("\rpulling 96c415656d37: 100% ▕████████████████▏ 4.7 GB                         \r");
  p = reader.Progress();
  EXPECT_EQ(p.percent, 100);
  EXPECT_EQ(p.doneBytes, p.totalBytes);
  EXPECT_TRUE(p.timeLeft.empty());

  // The next frame redraws the finished manifest line first: no step back.
  reader.Feed("\x1b[A\x1b[2K\x1b[1Gpulling manifest \x1b[K\n");
  EXPECT_EQ(reader.Progress().phase, PullPhase::Pulling);
  reader.Feed("\nverifying sha256 digest \n");
  EXPECT_EQ(reader.Progress().phase, PullPhase::Verifying);
  reader.Feed("writing manifest \n");
  EXPECT_EQ(reader.Progress().phase, PullPhase::WritingManifest);
  reader.Feed("success \x1b[?25h");
  EXPECT_EQ(reader.Progress().phase, PullPhase::WritingManifest);  // not yet a whole line
  EXPECT_TRUE(reader.Finish());
  EXPECT_EQ(reader.Progress().phase, PullPhase::Success);
}

TEST(PullOutputReader, SumsLayersSoSmallFinishedOnesDoNotJumpTheBar) {
  PullOutputReader reader;
  reader.Feed("pulling aaaaaaaaaaaa:  50% ▕████    ▏ 1.0 GB/2.0 GB  10 MB/s  1m40s\n");
  reader.Feed("pulling bbbbbbbbbbbb: 100% ▕████████▏  387 B\n");
  const PullProgress& p = reader.Progress();
  EXPECT_EQ(p.totalBytes, 2'000'000'387u);
  EXPECT_EQ(p.percent, 50);
  // The finished layer has no speed of its own: the running one's stays.
  EXPECT_EQ(p.bytesPerSecond, 10'000'000u);
  EXPECT_EQ(p.timeLeft, "1m40s");
  // Redrawing the same line changes nothing; the escape that clears the
  // rest of a drawn line ends it without any line end.
  EXPECT_TRUE(reader.Feed(
      "\x1b[1Gpulling aaaaaaaaaaaa:  75% ▕██████  ▏ 1.5 GB/2.0 GB  10 MB/s  50s\x1b[K"));
  EXPECT_EQ(reader.Progress().doneBytes, 1'500'000'387u);
  EXPECT_FALSE(reader.Feed("pulling bbbbbbbbbbbb: 100% ▕████████▏  387 B\n"));
}

TEST(PullOutputReader, KeepsTheRunnersErrorText) {
  PullOutputReader reader;
  reader.Feed("pulling manifest\nError: pull model manifest: file does not exist\n");
  EXPECT_EQ(reader.Progress().phase, PullPhase::Error);
  EXPECT_EQ(reader.Progress().errorText, "pull model manifest: file does not exist");
  // Lines that are not progress leave it as it was.
  EXPECT_FALSE(reader.Feed("some unrelated chatter\n"));
}

TEST(PullOutputReader, SizesAndEscapes) {
  EXPECT_EQ(ParseByteSize("2.1", "GB"), 2'100'000'000u);
  EXPECT_EQ(ParseByteSize("387", "B"), 387u);
  EXPECT_EQ(ParseByteSize("1", "XB"), 0u);
  EXPECT_EQ(ParseByteSize("abc", "MB"), 0u);
  EXPECT_EQ(FormatByteSize(387), "387 B");
  EXPECT_EQ(FormatByteSize(2'100'000'000), "2.1 GB");
  EXPECT_EQ(FormatByteSize(20'000'000), "20 MB");
  EXPECT_EQ(StripTerminalEscapes("\x1b[?25la\x1b[2Kb\x1b"
                                 "7c"),
            "abc");
  EXPECT_EQ(StripTerminalEscapes("\x1b["), "");  // cut off mid-sequence
}

}  // namespace
