// Runs a piece of a test in another time zone and puts the old one back.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace testing_tz {

// Zones a desktop's clock really has: no offset, a half-hour offset with
// daylight saving (Adelaide), a half-hour offset without (Kolkata), west of
// UTC (Sao Paulo) and one that changes in March and October (Berlin).
inline const char* const kZones[] = {"UTC", "Asia/Kolkata", "Australia/Adelaide", "America/Sao_Paulo", "Europe/Berlin"};

class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ZoneScope() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  ZoneScope(const ZoneScope&) = delete;
  ZoneScope& operator=(const ZoneScope&) = delete;

 private:
  std::optional<std::string> old_;
};

}  // namespace testing_tz
