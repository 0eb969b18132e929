// Local time as the parameter files carry it.
#pragma once

#include <ctime>
#include <string>

namespace paramfile {

// "2024-05-01T12:00:00+08:00".
std::string IsoTime(std::time_t time);
// "20240501-120000", for file names that sort by time.
std::string StampTime(std::time_t time);

}  // namespace paramfile
