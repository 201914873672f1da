// The terminal a front end may ask on.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace tarvo::term {

// The controlling terminal (/dev/tty), read-write, when the process has one
// and is in its foreground; -1 otherwise. A HotSync started in the
// background must not stop for terminal input. A process with no
// controlling terminal at all whose standard input is a terminal (a HotSync
// the manager runs for a caller, with the caller's terminal handed over)
// asks on that terminal.
inline int OpenForegroundTerminal() {
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ENXIO && isatty(STDIN_FILENO) ? fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0) : -1;
  if (tcgetpgrp(fd) != getpgrp()) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace tarvo::term
