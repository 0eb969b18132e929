// The names of the line's parity settings as the command line takes them and
// the parameter file records them: "none2" (no parity, two stop bits),
// "odd" and "even", in the order of the connection panel's list.
#pragma once

#include <string_view>

namespace fields {

// 0 for a name that is none of them.
int ParityIndex(std::string_view name);
// "none2" for an index outside the list.
const char* ParityName(int index);

}  // namespace fields
