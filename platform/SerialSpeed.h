// Line speed of a serial descriptor, including rates termios has no constant for.
#pragma once

// The termios speed constant (Bnnnn) for a standard rate, or 0 when there is none.
unsigned StandardSpeedCode(unsigned baud);

// Sets input and output speed of an open tty to baud. Standard rates go through termios;
// others through the kernel's arbitrary-rate interface. Returns false with errno set.
bool SetLineSpeed(int fd, unsigned baud);
