#include "link/net/listener.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/byte_stream.h"
#include "link/net/tcp.h"

namespace hotsync::detail {

Listener::~Listener() {
  if (fd_ >= 0) ::close(fd_);
  for (int fd : wakeFds_) {
    if (fd >= 0) ::close(fd);
  }
}

std::unique_ptr<Listener> Listener::open(const std::string& host, uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); rc != 0) {
    throw LinkError("cannot listen on " + host + ": " + gai_strerror(rc));
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);
  std::unique_ptr<Listener> l(new Listener());
  const std::string where = host + ":" + std::to_string(port);
  l->fd_ = ::socket(list->ai_family, list->ai_socktype | SOCK_CLOEXEC, list->ai_protocol);
  if (l->fd_ < 0) throw LinkError(systemError("cannot listen on " + where));
  const int one = 1;
  setsockopt(l->fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(l->fd_, list->ai_addr, list->ai_addrlen) != 0 || ::listen(l->fd_, 1) != 0) {
    throw LinkError(systemError("cannot listen on " + where));
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  getsockname(l->fd_, reinterpret_cast<sockaddr*>(&bound), &length);
  l->port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                               : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  if (::pipe2(l->wakeFds_, O_CLOEXEC | O_NONBLOCK) != 0) throw LinkError(systemError("cannot make a pipe"));
  return l;
}

std::unique_ptr<NetLink> Listener::accept() {
  for (;;) {
    pollfd p[2] = {{fd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
    if (::poll(p, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw LinkError(systemError("waiting for a handheld"));
    }
    if (p[1].revents != 0) throw LinkError("stopped waiting for a handheld");
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      throw LinkError(systemError("cannot accept a handheld"));
    }
    return NetLink::desktop(tcpStream(fd, describeAddress(peer)));
  }
}

void Listener::interrupt() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFds_[1], &byte, 1);
}

}  // namespace hotsync::detail
