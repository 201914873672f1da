// Palm seconds: how a handheld counts time, and the one place that converts them.
//
// A Palm keeps its clock in local wall-clock time and knows no time zone:
// its seconds count from 1904-01-01 00:00 of that wall clock. So a date on
// the handheld is a broken-down wall-clock time, and "now" is the desktop's
// local time, as every desktop tool sets and reads the handheld's clock.
#pragma once

#include <cstdint>
#include <ctime>

namespace pdb {

// Seconds from 1904-01-01 to 1970-01-01: 66 years with 17 leap days.
inline constexpr int64_t kPalmEpochOffset = 2082844800;

// The wall-clock fields (tm_year..tm_sec) as Palm seconds; 0 ("no date")
// when they are out of range or before 1904.
uint32_t palmSecondsFromWallClock(const std::tm& wall);

// Palm seconds as wall-clock fields; the other fields of std::tm are zero.
std::tm wallClockFromPalmSeconds(uint32_t seconds);

// The desktop's local wall clock at `unixTime` (tm_gmtoff of its zone then) in Palm seconds.
uint32_t palmSecondsAt(int64_t unixTime);

// palmSecondsAt(now).
uint32_t palmNow();

}  // namespace pdb
