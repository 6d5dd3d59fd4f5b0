#include <gtest/gtest.h>

#include <tools/vendor_service/byte_pacer.h>

namespace {

using std::chrono::milliseconds;

// Each answer is paced by the bytes it sends, never by where in the file
// they lie; answers together keep to the rate; waking late loses no rate;
// an idle pause is almost no credit.
TEST(BytePacer, SharesOneRateAmongAnswersByTheBytesEachSends) {
  BytePacer pacer(1'000'000);  // 1 MB/s
  const BytePacer::Clock::time_point t0 = BytePacer::Clock::now();
  // The timeline may lag now by kSlack: an idle one starts that far back.
  const milliseconds slack = BytePacer::kSlack;
  const struct {
    const char* what;
    milliseconds at;
    std::uint64_t bytes;
    milliseconds due;
  } steps[] = {
      {"a range's first block, 200 MB into the file, waits for itself only", milliseconds(0),
       500'000, milliseconds(500) - slack},
      {"its next block follows", milliseconds(0), 500'000, milliseconds(1000) - slack},
      {"a second answer at the same moment queues behind", milliseconds(10), 250'000,
       milliseconds(1250) - slack},
      {"a sender that wakes late by the slack keeps its place", milliseconds(1250), 10'000,
       milliseconds(1260) - slack},
      {"after a pause the timeline starts from now, with little saved credit",
       milliseconds(5000), 100'000, milliseconds(5100) - slack},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(pacer.Reserve(step.bytes, t0 + step.at), t0 + step.due);
  }
  BytePacer unpaced(0);
  EXPECT_EQ(unpaced.Reserve(1'000'000, t0), t0);
}

}  // namespace
