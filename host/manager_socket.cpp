#include "host/manager_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "hotsync/manager.h"

namespace tarvo::host {
namespace {

bool sameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

}  // namespace

ManagerSocket::~ManagerSocket() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink((dir_ / "manager.sock").c_str());
}

bool ManagerSocket::listen(std::string* error) {
  const std::string path = (dir_ / "manager.sock").string();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    *error = "socket path too long: " + path;
    return false;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  // The lock is ours, so a socket left here is a dead manager's.
  ::unlink(path.c_str());
  fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const mode_t oldMask = ::umask(077);
  const bool bound = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::umask(oldMask);
  if (!bound || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd_, 16) != 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

int ManagerSocket::accept(std::string* line, std::vector<int>* fds) {
  const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return -1;
  // A caller that stalls mid-request must not stop the manager.
  timeval limit{2, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  if (!sameUser(fd) || !hotsync::receiveManagerLine(fd, line, fds)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool sendLine(int fd, const std::string& line) {
  const std::string text = line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace tarvo::host
