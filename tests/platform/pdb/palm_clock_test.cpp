// Palm seconds are the handheld's local wall clock, whatever the desktop's zone.
#include <gtest/gtest.h>

#include "pdb/palm_clock.h"
#include "time_zone.h"

namespace {

std::tm wall(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

// 2026-01-15 12:00:00 UTC.
constexpr int64_t kMidJanuary = 1768478400;

TEST(PalmClock, WallClockFieldsAndSecondsConvertBothWaysInEveryZone) {
  for (const char* zone : testing_tz::kZones) {
    testing_tz::ZoneScope scope(zone);
    // 2024-01-01 00:00:00, as the example handheld stores it.
    EXPECT_EQ(pdb::palmSecondsFromWallClock(wall(2024, 1, 1, 0, 0, 0)), 3786912000u) << zone;
    const std::tm back = pdb::wallClockFromPalmSeconds(3786912345u);
    EXPECT_EQ(pdb::palmSecondsFromWallClock(back), 3786912345u) << zone;
    EXPECT_EQ(back.tm_hour, 0) << zone;
    EXPECT_EQ(back.tm_min, 5) << zone;
    EXPECT_EQ(back.tm_sec, 45) << zone;
  }
  EXPECT_EQ(pdb::palmSecondsFromWallClock(wall(1904, 1, 1, 0, 0, 1)), 1u);
  EXPECT_EQ(pdb::palmSecondsFromWallClock(wall(1903, 12, 31, 23, 59, 59)), 0u);
  EXPECT_EQ(pdb::palmSecondsFromWallClock(wall(2040, 2, 7, 6, 28, 16)), 0u);  // past 32 bits
  EXPECT_EQ(pdb::palmSecondsFromWallClock(wall(2024, 13, 1, 0, 0, 0)), 0u);
  EXPECT_EQ(pdb::palmSecondsFromWallClock(wall(2024, 1, 0, 0, 0, 0)), 0u);
}

TEST(PalmClock, AnInstantIsTheDesktopsLocalWallClock) {
  const struct {
    const char* zone;
    int hour, minute;
  } expected[] = {{"UTC", 12, 0},
                  {"Asia/Kolkata", 17, 30},
                  {"Australia/Adelaide", 22, 30},
                  {"America/Sao_Paulo", 9, 0},
                  {"Europe/Berlin", 13, 0}};
  for (const auto& e : expected) {
    testing_tz::ZoneScope scope(e.zone);
    EXPECT_EQ(pdb::palmSecondsAt(kMidJanuary), pdb::palmSecondsFromWallClock(wall(2026, 1, 15, e.hour, e.minute, 0)))
        << e.zone;
  }
}

TEST(PalmClock, DaylightSavingChangesMoveTheWallClock) {
  {
    // Berlin springs forward at 01:00 UTC: 01:59:59 is followed by 03:00:00.
    testing_tz::ZoneScope scope("Europe/Berlin");
    constexpr int64_t change = 1774746000;
    EXPECT_EQ(pdb::palmSecondsAt(change - 1), pdb::palmSecondsFromWallClock(wall(2026, 3, 29, 1, 59, 59)));
    EXPECT_EQ(pdb::palmSecondsAt(change), pdb::palmSecondsFromWallClock(wall(2026, 3, 29, 3, 0, 0)));
  }
  {
    // Adelaide falls back half an hour off the hour: 02:59:59 is followed by 02:00:00 again.
    testing_tz::ZoneScope scope("Australia/Adelaide");
    constexpr int64_t change = 1775320200;
    EXPECT_EQ(pdb::palmSecondsAt(change - 1), pdb::palmSecondsFromWallClock(wall(2026, 4, 5, 2, 59, 59)));
    EXPECT_EQ(pdb::palmSecondsAt(change), pdb::palmSecondsFromWallClock(wall(2026, 4, 5, 2, 0, 0)));
  }
}

}  // namespace
