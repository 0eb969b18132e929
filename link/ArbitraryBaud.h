// Rates that termios has no constant for (14400 among them) are set through
// the kernel's termios2 interface. Kept apart because its header clashes with
// <termios.h>.
#pragma once

// Sets input and output rate of the open terminal `fd` to `baudRate` bit/s,
// keeping every other setting. False when the device refuses.
bool SetArbitraryBaud(int fd, int baudRate);

// The output rate of the open terminal `fd` in bit/s, whatever way it was
// set; 0 when the device cannot tell.
int CurrentBaudRate(int fd);
