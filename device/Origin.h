// Where a file came from: the tool that wrote it, the line it was read on
// (as opened) and the driver's address. A parameter file's header and a
// recording's companion both record it; the session fills it.
#pragma once

#include <string>

#include "link/Line.h"

namespace device {

struct Origin {
  std::string tool;        // "KORVELT_Demo 1.0.0", "korvelt 1.0.0"
  Line line;               // the port as it was named ("COM1" or a device path), rate and parity
  std::string devicePath;  // the device that was really opened
  int address = 1;
};

}  // namespace device
