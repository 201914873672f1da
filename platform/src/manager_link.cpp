// The manager's meeting place and its line format.
#include "hotsync/manager.h"
#include "xdg/base_dirs.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>

namespace hotsync {
namespace fs = std::filesystem;
namespace {

constexpr size_t kMaxLine = 64 * 1024;
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

bool sendManagerLine(int socket, const std::string& line, const std::vector<int>& fds) {
  if (line.size() >= kMaxLine || fds.size() > kMaxFds) return false;
  const std::string text = line + "\n";
  // The descriptors ride on the first byte.
  iovec part{const_cast<char*>(text.data()), 1};
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
  if (sent != 1) return false;
  return writeAll(socket, text.data() + 1, text.size() - 1);
}

bool receiveManagerLine(int socket, std::string* line, std::vector<int>* fds) {
  line->clear();
  if (fds) fds->clear();
  auto fail = [&] {
    if (fds) {
      for (int fd : *fds) ::close(fd);
      fds->clear();
    }
    return false;
  };
  // A byte at a time: nothing after the line is taken from the socket, and
  // descriptors are picked up with the byte they came on.
  for (;;) {
    char c = 0;
    iovec part{&c, 1};
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
    for (cmsghdr* h = CMSG_FIRSTHDR(&message); h != nullptr; h = CMSG_NXTHDR(&message, h)) {
      if (h->cmsg_level != SOL_SOCKET || h->cmsg_type != SCM_RIGHTS) continue;
      const size_t count = (h->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (size_t i = 0; i < count; ++i) {
        int fd;
        std::memcpy(&fd, CMSG_DATA(h) + i * sizeof(int), sizeof fd);
        if (fds)
          fds->push_back(fd);
        else
          ::close(fd);
      }
    }
    if (got != 1 || (message.msg_flags & MSG_CTRUNC) != 0) return fail();
    if (c == '\n') return true;
    if (line->size() + 1 >= kMaxLine) return fail();
    line->push_back(c);
  }
}

bool requestManagerQuit() {
  auto ask = [](const std::string& request) {
    const int fd = connectManager();
    if (fd < 0) return std::optional<std::string>();
    // A manager too busy to answer within a second is still there: the
    // caller asks again, and its bound on requests keeps the whole wait short.
    timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string reply;
    if (writeAll(fd, request.data(), request.size())) receiveManagerLine(fd, &reply);
    ::close(fd);
    return std::optional<std::string>(reply);
  };
  const std::optional<std::string> reply = ask("{\"v\":1,\"request\":\"quit\"}\n");
  if (!reply) return false;
  // A manager started before an upgrade reads its older request frame (a
  // length, then the verb) and closes on this one without a word: it is
  // asked that way, or registration could never close it.
  if (reply->empty()) ask(std::string("\0\0\0\5quit\0", 9));
  return true;
}

}  // namespace hotsync
