// Preloaded into a program under test: every terminal refuses new settings, as a serial
// driver that does not support what was asked refuses them. Nothing else changes.
#include <termios.h>

#include <cerrno>

extern "C" int tcsetattr(int, int, const termios*) {
    errno = EINVAL;
    return -1;
}
