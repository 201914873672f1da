// The manager's meeting place and its small request format.
#include "hotsync/manager.h"
#include "xdg/base_dirs.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace hotsync {
namespace fs = std::filesystem;
namespace {

constexpr uint32_t kMaxFrame = 64 * 1024;
constexpr int kMaxFds = 3;

bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool readAll(int fd, char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::recv(fd, data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

fs::path managerDir(std::string* error) {
  const fs::path runtime = tarvo::xdg::runtimeDir();
  const fs::path base = !runtime.empty() ? runtime : fs::path("/tmp") / ("tarvo-hotsync-" + std::to_string(::getuid()));
  const fs::path dir = base / "tarvo-hotsync";
  for (const fs::path& p : {base, dir}) {
    if (p == base && !runtime.empty()) continue;  // the session's own
    if (::mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) {
      if (error) *error = p.string() + ": " + std::strerror(errno);
      return {};
    }
    // Another user's folder, a link, or one open to others is never used:
    // whoever can reach the socket can make this user sync or quit.
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
      if (error) *error = p.string() + " is not a folder of this user's own with mode 0700";
      return {};
    }
  }
  return dir;
}

int connectManager() {
  const fs::path dir = managerDir(nullptr);
  if (dir.empty()) return -1;
  const std::string path = (dir / "manager.sock").string();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);  // no socket, or a stale one a dead manager left
    return -1;
  }
  return fd;
}

bool sendManagerFrame(int socket, const std::vector<std::string>& fields, const std::vector<int>& fds) {
  std::string payload;
  for (const std::string& field : fields) payload.append(field).push_back('\0');
  if (payload.size() > kMaxFrame || fds.size() > kMaxFds) return false;
  const auto size = static_cast<uint32_t>(payload.size());
  const char header[4] = {static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                          static_cast<char>(size)};
  // The descriptors ride on the header's bytes.
  iovec part{const_cast<char*>(header), sizeof header};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxFds)] = {};
  if (!fds.empty()) {
    message.msg_control = control;
    message.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
    std::memcpy(CMSG_DATA(c), fds.data(), sizeof(int) * fds.size());
  }
  ssize_t sent;
  do {
    sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent <= 0) return false;
  if (sent < static_cast<ssize_t>(sizeof header) && !writeAll(socket, header + sent, sizeof header - sent))
    return false;
  return writeAll(socket, payload.data(), payload.size());
}

bool receiveManagerFrame(int socket, std::vector<std::string>* fields, std::vector<int>* fds) {
  fields->clear();
  fds->clear();
  unsigned char header[4] = {};
  iovec part{header, sizeof header};
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxFds)] = {};
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t got;
  do {
    got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
  } while (got < 0 && errno == EINTR);
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
    const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    for (size_t i = 0; i < count; ++i) {
      int fd;
      std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
      fds->push_back(fd);
    }
  }
  auto fail = [&] {
    for (int fd : *fds) ::close(fd);
    fds->clear();
    return false;
  };
  if (got <= 0 || (message.msg_flags & MSG_CTRUNC) != 0) return fail();
  if (got < 4 && !readAll(socket, reinterpret_cast<char*>(header) + got, 4 - static_cast<size_t>(got))) return fail();
  const uint32_t size =
      (uint32_t{header[0]} << 24) | (uint32_t{header[1]} << 16) | (uint32_t{header[2]} << 8) | header[3];
  if (size == 0 || size > kMaxFrame) return fail();
  std::string payload(size, '\0');
  if (!readAll(socket, payload.data(), size) || payload.back() != '\0') return fail();
  size_t start = 0;
  while (start < payload.size()) {
    const size_t end = payload.find('\0', start);
    fields->push_back(payload.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

bool receiveManagerLine(int socket, std::string* line) {
  line->clear();
  char c;
  while (readAll(socket, &c, 1)) {
    if (c == '\n') return true;
    if (line->size() < 1024) line->push_back(c);
  }
  return false;
}

bool requestManagerQuit() {
  const int fd = connectManager();
  if (fd < 0) return false;
  // A manager too busy to answer within a second is still there: the
  // caller asks again, and its bound on requests keeps the whole wait short.
  timeval limit{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string reply;
  sendManagerFrame(fd, {"quit"});
  receiveManagerLine(fd, &reply);
  ::close(fd);
  return true;
}

}  // namespace hotsync
