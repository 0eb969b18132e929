// Local times in the files and lines: the offset in force, its sign, the
// digits of the second, and times before the epoch taken down to their
// second rather than up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "fields/TimeText.h"

namespace {

class Zone {
 public:
  explicit Zone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~Zone() {
    if (old_.empty()) {
      unsetenv("TZ");
    } else {
      setenv("TZ", old_.c_str(), 1);
    }
    tzset();
  }

 private:
  std::string old_;
};

TEST(TimeText, IsoTimeCarriesTheOffsetAndTheDigitsAskedFor) {
  struct Case {
    const char* zone;  // POSIX form: no time-zone files needed
    int64_t micros;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {"UTC0", 1'700'000'000'123'456, 6, "2023-11-14T22:13:20.123456+00:00"},
      {"CST-8", 1'700'000'000'123'456, 3, "2023-11-15T06:13:20.123+08:00"},
      {"NST+3:30", 1'700'000'000'999'999, 0, "2023-11-14T18:43:20-03:30"},
      {"UTC0", -1, 6, "1969-12-31T23:59:59.999999+00:00"},
      {"UTC0", -1'000'000, 3, "1969-12-31T23:59:59.000+00:00"},
  };
  for (const Case& c : cases) {
    const Zone zone(c.zone);
    EXPECT_EQ(fields::IsoTime(c.micros, c.decimals), c.text) << c.zone << " " << c.micros;
  }
}

}  // namespace
