#include "fields/TimeText.h"

#include <ctime>

#include "fields/CFormat.h"

namespace fields {

LocalSecond LocalSecondOf(int64_t second) {
  const auto seconds = static_cast<std::time_t>(second);
  std::tm local{};
  localtime_r(&seconds, &local);
  const long east = local.tm_gmtoff / 60;
  const long minutes = east < 0 ? -east : east;
  return {CFormat("%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec),
          CFormat("%c%02ld:%02ld", east < 0 ? '-' : '+', minutes / 60, minutes % 60)};
}

std::string IsoTime(int64_t wallMicros, int decimals) {
  int64_t second = wallMicros / 1'000'000;
  long micros = static_cast<long>(wallMicros % 1'000'000);
  if (micros < 0) {
    micros += 1'000'000;
    --second;
  }
  const LocalSecond local = LocalSecondOf(second);
  std::string fraction;
  if (decimals == 3) fraction = CFormat(".%03ld", micros / 1000);
  if (decimals == 6) fraction = CFormat(".%06ld", micros);
  return local.dateTime + fraction + local.offset;
}

}  // namespace fields
