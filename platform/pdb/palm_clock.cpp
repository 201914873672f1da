#include "pdb/palm_clock.h"

namespace pdb {

uint32_t palmSecondsFromWallClock(const std::tm& wall) {
  if (wall.tm_year < 4 || wall.tm_mon < 0 || wall.tm_mon > 11 || wall.tm_mday < 1 || wall.tm_mday > 31) return 0;
  std::tm fields = wall;  // timegm normalises its argument in place
  // timegm reads the fields as they are, without any zone: exactly a wall clock.
  const int64_t seconds = static_cast<int64_t>(timegm(&fields)) + kPalmEpochOffset;
  return seconds <= 0 || seconds > 0xFFFFFFFFLL ? 0 : static_cast<uint32_t>(seconds);
}

std::tm wallClockFromPalmSeconds(uint32_t seconds) {
  const std::time_t t = static_cast<std::time_t>(int64_t{seconds} - kPalmEpochOffset);
  std::tm parts{};
  gmtime_r(&t, &parts);
  std::tm wall{};
  wall.tm_year = parts.tm_year;
  wall.tm_mon = parts.tm_mon;
  wall.tm_mday = parts.tm_mday;
  wall.tm_hour = parts.tm_hour;
  wall.tm_min = parts.tm_min;
  wall.tm_sec = parts.tm_sec;
  return wall;
}

uint32_t palmSecondsAt(int64_t unixTime) {
  const std::time_t t = static_cast<std::time_t>(unixTime);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return 0;
  return palmSecondsFromWallClock(local);
}

uint32_t palmNow() { return palmSecondsAt(static_cast<int64_t>(std::time(nullptr))); }

}  // namespace pdb
