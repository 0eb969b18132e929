#include "fields/CFormat.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace fields {

std::string CFormat(const char* format, ...) {
  char small[128];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string text;
  if (length < 0) {
    va_end(again);
    return text;
  }
  if (static_cast<size_t>(length) < sizeof small) {
    text.assign(small, static_cast<size_t>(length));
  } else {
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, again);
    text.assign(large.data(), static_cast<size_t>(length));
  }
  va_end(again);
  return text;
}

}  // namespace fields
