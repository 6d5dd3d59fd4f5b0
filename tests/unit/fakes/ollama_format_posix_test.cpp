// The runner stand-in's times in the local zone, the zone named as the C
// library here reads TZ (Windows' runtime reads another syntax).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include <tests/fakes/ollama_format.h>

namespace {

using namespace fake_ollama;

TEST(FakeOllamaFormat, TimesAsGoMarshalsThemInTheLocalZone) {
  const char* saved = std::getenv("TZ");
  const std::string previous = saved != nullptr ? saved : "";
  const struct {
    const char* zone;
    std::int64_t nanos;
    const char* text;
  } cases[] = {{"UTC", 123456789, "2023-11-14T22:13:20.123456789Z"},
               {"UTC", 0, "2023-11-14T22:13:20Z"},
               {"Asia/Shanghai", 120000000, "2023-11-15T06:13:20.12+08:00"},
               {"America/St_Johns", 5, "2023-11-14T18:43:20.000000005-03:30"}};
  for (const auto& c : cases) {
    ::setenv("TZ", c.zone, 1);
    ::tzset();
    EXPECT_EQ(Rfc3339Nano(1'700'000'000, c.nanos), c.text) << c.zone;
  }
  saved != nullptr ? ::setenv("TZ", previous.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
