// The message box of a port that did not open: "打开串口失败" and, on a
// second line, what was found, in the language in use.
#pragma once

#include <string>

#include "link/PortDiagnosis.h"

namespace fields {

// The first line of the box, alone when nothing more is known.
inline constexpr const char* OpenFailedText = "打开串口失败";


// The second line alone; empty when nothing is known (kind None).
std::string OpenFailureCause(const PortDiagnosis& diagnosis);

// The whole text of the box.
std::string OpenFailureMessage(const PortDiagnosis& diagnosis);

}  // namespace fields
