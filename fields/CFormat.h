// printf-style formatting into a std::string. The tool's number texts follow
// the C library's rules (decimal point '.', rounding of "%.1f" and the like),
// and every format of the window and the pages goes through here.
#pragma once

#include <string>

namespace fields {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string CFormat(const char* format, ...);

}  // namespace fields
