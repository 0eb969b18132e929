// Local time as the parameter files carry it.
#pragma once

#include <ctime>
#include <string>

namespace paramfile {

// "20240501-120000", for file names that sort by time.
std::string StampTime(std::time_t time);

}  // namespace paramfile
