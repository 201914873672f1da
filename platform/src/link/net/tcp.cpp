#include "link/net/tcp.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "dlp/packet.h"

namespace hotsync::detail {

std::string describeAddress(const sockaddr_storage& addr) {
  char host[NI_MAXHOST] = "?";
  char serv[NI_MAXSERV] = "?";
  getnameinfo(reinterpret_cast<const sockaddr*>(&addr), sizeof addr, host, sizeof host, serv, sizeof serv,
              NI_NUMERICHOST | NI_NUMERICSERV);
  return std::string(host) + ":" + serv;
}

std::unique_ptr<FdStream> tcpStream(int fd, std::string peer) {
  const int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return std::make_unique<FdStream>(fd, std::move(peer));
}

std::unique_ptr<FdStream> connectTcp(const std::string& host, uint16_t port, std::chrono::seconds retry) {
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
      if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) return tcpStream(fd, where);
      lastErrno = errno;
      ::close(fd);
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      throw LinkError("cannot reach the desktop at " + where + ": " + std::strerror(lastErrno));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace hotsync::detail
