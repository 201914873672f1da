#include "net_link.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "dlp/packet.h"

namespace hotsync::detail {

namespace {

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string describe(const sockaddr_storage& addr) {
  char host[NI_MAXHOST] = "?";
  char serv[NI_MAXSERV] = "?";
  getnameinfo(reinterpret_cast<const sockaddr*>(&addr), sizeof addr, host, sizeof host, serv, sizeof serv,
              NI_NUMERICHOST | NI_NUMERICSERV);
  return std::string(host) + ":" + serv;
}

void noDelay(int fd) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

}  // namespace

bool splitHostPort(const std::string& text, std::string* host, uint16_t* port, std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  *port = dlp::kNetHotSyncPort;
  std::string portText;
  bool hasPort = false;
  if (text.starts_with('[')) {  // [IPv6] or [IPv6]:PORT
    const auto close = text.find(']');
    if (close == std::string::npos) return fail("not a HOST[:PORT]: " + text);
    *host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != ':') return fail("not a HOST[:PORT]: " + text);
      portText = rest.substr(1);
      hasPort = true;
    }
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    const auto colon = text.find(':');
    *host = text.substr(0, colon);
    portText = text.substr(colon + 1);
    hasPort = true;
  } else {
    *host = text;  // no port, or a bare IPv6 address
  }
  if (host->empty()) return fail("no host in " + text);
  if (hasPort) {
    char* end = nullptr;
    const long value = std::strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end != '\0' || value < 0 || value > 65535) return fail("not a port number: " + portText);
    *port = static_cast<uint16_t>(value);
  }
  return true;
}

Link::~Link() {
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<Link> Link::connect(const std::string& host, uint16_t port, std::chrono::seconds retry) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); rc != 0) {
    throw LinkError("cannot find " + host + ": " + gai_strerror(rc));
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(found, freeaddrinfo);
  const auto deadline = std::chrono::steady_clock::now() + retry;
  const std::string where = host + ":" + std::to_string(port);
  for (;;) {
    int lastErrno = 0;
    for (addrinfo* a = list.get(); a != nullptr; a = a->ai_next) {
      const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
      if (fd < 0) continue;
      if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
        noDelay(fd);
        std::unique_ptr<Link> link(new Link(fd, where, false));
        // The opening exchange: hello, (welcome), confirm, (accept), ready.
        link->send(dlp::handheldHello());
        if (link->receive().empty()) throw LinkError("the desktop's welcome is empty");
        link->send(dlp::handheldConfirm());
        if (link->receive().empty()) throw LinkError("the desktop's acceptance is empty");
        link->send(dlp::handheldReady());
        return link;
      }
      lastErrno = errno;
      ::close(fd);
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      errno = lastErrno;
      throw LinkError(systemError("cannot reach the desktop at " + where));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::unique_ptr<Link> Link::accepted(int fd, std::string peer) {
  noDelay(fd);
  std::unique_ptr<Link> link(new Link(fd, std::move(peer), true));
  // Some handhelds send their hello without a frame around it.
  uint8_t first = 0;
  link->readExactly(&first, 1);
  std::vector<uint8_t> hello;
  if (first == dlp::handheldHello()[0]) {
    hello.resize(dlp::handheldHello().size());
    hello[0] = first;
    link->readExactly(hello.data() + 1, hello.size() - 1);
  } else {
    uint8_t header[dlp::kFrameHeaderSize] = {first};
    link->readExactly(header + 1, sizeof header - 1);
    const dlp::FrameHeader h = dlp::decodeFrameHeader(header);
    hello.resize(h.length);
    link->readExactly(hello.data(), hello.size());
    link->txid_ = h.txid;
  }
  if (hello.empty() || hello[0] != dlp::handheldHello()[0]) throw LinkError("the handheld's hello is not one");
  link->send(dlp::desktopWelcome());
  link->receive();
  link->send(dlp::desktopAccept());
  link->receive();
  return link;
}

std::unique_ptr<Link> Link::handedOver(int fd) {
  if (::fcntl(fd, F_SETFD, FD_CLOEXEC) != 0) throw LinkError(systemError("the handed-over link"));
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
    const std::string reason = systemError("the handed-over link");
    ::close(fd);
    throw LinkError(reason);
  }
  return accepted(fd, describe(peer));
}

void Link::readExactly(uint8_t* out, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(timeout_.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) throw LinkError(systemError("waiting for " + peer_));
    if (ready == 0) throw LinkError(peer_ + " stopped answering");
    const ssize_t r = ::recv(fd_, out + got, n - got, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw LinkError(systemError("the link to " + peer_ + " failed"));
    if (r == 0) throw LinkError(peer_ + " closed the link");
    got += static_cast<std::size_t>(r);
  }
}

void Link::writeAll(std::span<const uint8_t> bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t w = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) throw LinkError(systemError("the link to " + peer_ + " failed"));
    sent += static_cast<std::size_t>(w);
  }
}

void Link::send(std::span<const uint8_t> payload) {
  if (desktop_) txid_ = static_cast<uint8_t>(txid_ >= 0xFE ? 1 : txid_ + 1);
  writeAll(dlp::encodeFrame(dlp::kFrameData, txid_, payload));
}

void Link::sendKeepAlive() { writeAll(dlp::encodeFrame(dlp::kFrameTickle, 0xFF, {})); }

std::vector<uint8_t> Link::receive() {
  for (;;) {
    uint8_t header[dlp::kFrameHeaderSize];
    readExactly(header, sizeof header);
    const dlp::FrameHeader h = dlp::decodeFrameHeader(header);
    if (h.type == dlp::kFrameTickle) continue;
    std::vector<uint8_t> payload(h.length);
    readExactly(payload.data(), payload.size());
    if (!desktop_) txid_ = h.txid;  // the answer carries the request's number
    return payload;
  }
}

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

std::unique_ptr<Link> Listener::accept() {
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
    return Link::accepted(fd, describe(peer));
  }
}

void Listener::interrupt() {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFds_[1], &byte, 1);
}

}  // namespace hotsync::detail
