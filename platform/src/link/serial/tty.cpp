#include "link/serial/tty.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "link/link.h"

namespace hotsync::detail {

namespace {

speed_t speedFor(uint32_t rate) {
  switch (rate) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
#ifdef B230400
    case 230400:
      return B230400;
#endif
#ifdef B460800
    case 460800:
      return B460800;
#endif
    default:
      throw LinkError("the serial line cannot run at " + std::to_string(rate) + " baud");
  }
}

// The ttys a cradle or cable could be on right now, for a message.
std::string serialTtysHere() {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("ttyUSB") || name.starts_with("ttyACM")) found.push_back(entry.path().string());
  }
  std::sort(found.begin(), found.end());
  if (found.empty()) return "no USB-serial tty is plugged in; built-in serial ports are /dev/ttyS0 and on";
  std::string list = "serial ttys here: ";
  for (std::size_t i = 0; i < found.size(); ++i) list += (i ? ", " : "") + found[i];
  return list;
}

}  // namespace

int openTty(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int e = errno;
    std::string reason = "cannot open " + path + ": " + std::strerror(e);
    if (e == EACCES) reason += " (the user needs to be in the tty's group, usually dialout)";
    if (e == ENOENT) reason += " (" + serialTtysHere() + "; other ports are usb:, net: and serial-tcp:)";
    throw LinkError(reason);
  }
  termios t{};
  if (::tcgetattr(fd, &t) != 0) {
    const std::string reason = path + " is not a serial line: " + std::strerror(errno);
    ::close(fd);
    throw LinkError(reason);
  }
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, B9600);
  ::cfsetospeed(&t, B9600);
  if (::tcsetattr(fd, TCSANOW, &t) != 0) {
    const std::string reason = "cannot set up " + path + ": " + std::strerror(errno);
    ::close(fd);
    throw LinkError(reason);
  }
  // Blocking from here on: reads wait in poll, writes may wait for the line.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

void setTtyRate(int fd, uint32_t rate) {
  const speed_t speed = speedFor(rate);
  ::tcdrain(fd);
  termios t{};
  if (::tcgetattr(fd, &t) != 0 || ::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 ||
      ::tcsetattr(fd, TCSANOW, &t) != 0) {
    throw LinkError("cannot set the serial line to " + std::to_string(rate) + " baud: " + std::strerror(errno));
  }
}

}  // namespace hotsync::detail
