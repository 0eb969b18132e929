#include <cstdio>
#include <string_view>

#include "ui/DemoApp.h"

namespace {

constexpr const char* kHelp = R"(Usage: KORVELT_Demo [--version | --help]

Configures and tests a brushless DC motor driver over RS-485 (Modbus RTU).
Opens the tool's window; the port, baud rate, parity and slave address are
chosen there.

COMn is the link $KORVELT_PORTS/COMn (default ~/.korvelt/ports/COMn) when it
exists, else the n-th serial device present: ttyUSB*, ttyACM*, then ttyS*.
A link to the adapter's name under /dev/serial/by-id/ keeps its COM number
across replugging.

Options:
  --version               print the version and exit
  --help                  print this text and exit
  --demo-screenshot FILE  (scripts/demo) open the port, poll, save a picture
                          of the window to FILE and exit
Qt's own options (-platform and the like) are taken as well.
)";

}  // namespace

int main(int argc, char** argv) {
  // Answered before the application object exists, so they need no display.
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--version") {
      std::printf("KORVELT_Demo %s\n", KORVELT_VERSION);
      return 0;
    }
    if (option == "--help" || option == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
  }
  CDemoApp app(argc, argv);
  return app.InitInstance();
}
