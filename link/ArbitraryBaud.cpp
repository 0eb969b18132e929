#include "link/ArbitraryBaud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetArbitraryBaud(int fd, int baudRate) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~CBAUD;
  settings.c_cflag |= BOTHER;
  settings.c_cflag &= ~(CBAUD << IBSHIFT);
  settings.c_cflag |= BOTHER << IBSHIFT;
  settings.c_ispeed = static_cast<speed_t>(baudRate);
  settings.c_ospeed = static_cast<speed_t>(baudRate);
  return ioctl(fd, TCSETS2, &settings) == 0;
}

int CurrentBaudRate(int fd) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return 0;
  return static_cast<int>(settings.c_ospeed);
}
