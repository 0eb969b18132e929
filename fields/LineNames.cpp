#include "fields/LineNames.h"

namespace fields {
namespace {

constexpr const char* kParityNames[] = {"none2", "odd", "even"};

}  // namespace

int ParityIndex(std::string_view name) {
  for (int i = 0; i < 3; ++i) {
    if (name == kParityNames[i]) return i;
  }
  return 0;
}

const char* ParityName(int index) { return kParityNames[index >= 0 && index <= 2 ? index : 0]; }

}  // namespace fields
