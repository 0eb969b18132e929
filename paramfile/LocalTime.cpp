#include "paramfile/LocalTime.h"

#include "fields/CFormat.h"

namespace paramfile {
namespace {

std::tm Local(std::time_t time) {
  std::tm local{};
  localtime_r(&time, &local);
  return local;
}

}  // namespace

std::string StampTime(std::time_t time) {
  const std::tm local = Local(time);
  return fields::CFormat("%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour, local.tm_min, local.tm_sec);
}

}  // namespace paramfile
