#include <tools/vendor_service/utc_time.h>

#include <chrono>

UtcTime ToUtc(std::int64_t secondsSince1970) {
  using namespace std::chrono;
  const sys_seconds when{seconds(secondsSince1970)};
  const sys_days day = floor<days>(when);
  const year_month_day date(day);
  const hh_mm_ss<seconds> time(when - day);
  UtcTime utc;
  utc.year = static_cast<int>(date.year());
  utc.month = static_cast<int>(static_cast<unsigned>(date.month()));
  utc.day = static_cast<int>(static_cast<unsigned>(date.day()));
  utc.hour = static_cast<int>(time.hours().count());
  utc.minute = static_cast<int>(time.minutes().count());
  utc.second = static_cast<int>(time.seconds().count());
  utc.weekday = static_cast<int>(weekday(day).c_encoding());
  return utc;
}
