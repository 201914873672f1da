// The terminal a front end may ask on.
#pragma once

#include <fcntl.h>
#include <unistd.h>

namespace tarvo::term {

// The controlling terminal (/dev/tty), read-write, when the process has one
// and is in its foreground; -1 otherwise. A HotSync started in the
// background must not stop for terminal input.
inline int OpenForegroundTerminal() {
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (tcgetpgrp(fd) != getpgrp()) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace tarvo::term
