#pragma once
// Calendar fields of a UTC time, the same on every system (no gmtime_r on
// Windows, no locale anywhere).
#include <cstdint>

struct UtcTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0, minute = 0, second = 0;
  int weekday = 4;  // 0 = Sunday
};

UtcTime ToUtc(std::int64_t secondsSince1970);
