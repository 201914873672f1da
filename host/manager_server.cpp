#include "host/manager_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "host/conduit_loader.h"
#include "host/handheld_port.h"
#include "host/manager_env.h"
#include "hotsync/host.h"
#include "hotsync/manager.h"
#include "hotsync/usb.h"

extern char** environ;

namespace tarvo::host {
namespace {

constexpr long kMaxWaitingHandhelds = 8;
// A quit must end the manager before the closing side stops asking (20
// requests 500 ms apart): a HotSync that has not ended a while after its
// Cancel gets the second signal, which ends it at once, and then SIGKILL.
constexpr auto kSecondSignalAfter = std::chrono::seconds(3);
constexpr auto kKillAfter = std::chrono::seconds(6);

struct Request {
  int client = -1;                  // -1: a handheld that called
  std::vector<int> fds;             // the caller's stdin, stdout, stderr; the handheld's connection; none on a tty
  std::vector<std::string> fields;  // "sync", data folders, working folder, arguments...
  std::vector<std::string> env;     // added to the HotSync's environment (a USB handheld's place)
};

void closeRequest(Request& r) {
  for (int fd : r.fds) ::close(fd);
  if (r.client >= 0) ::close(r.client);
  r = Request{};
}

void reply(int fd, const std::string& line) {
  const std::string text = line + "\n";
  (void)!::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
}

bool sameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

std::string timeNow() {
  char text[32];
  const time_t now = ::time(nullptr);
  tm local{};
  ::localtime_r(&now, &local);
  std::strftime(text, sizeof text, "%F %T", &local);
  return text;
}

}  // namespace

std::string dataFolders() {
  std::string text = hotsync::dataDir().string();
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "HOME"}) {
    const char* value = std::getenv(name);
    text += std::string("\n") + (value ? value : "");
  }
  return text;
}

struct ManagerServer::State {
  std::deque<Request> pending;
  Request current;
  pid_t child = -1;
  int childFd = -1;  // pidfd: readable when the child ended
  bool cancelSent = false;
  bool quitting = false;
  std::chrono::steady_clock::time_point quitAt;
  int escalated = 0;  // after the Cancel: 1 second signal sent, 2 killed
};

ManagerServer::ManagerServer(std::filesystem::path dir, std::string conduit, int handheldWait)
    : dir_(std::move(dir)), conduit_(std::move(conduit)), handheldWait_(handheldWait) {}

ManagerServer::~ManagerServer() {
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink((dir_ / "manager.sock").c_str());
  }
}

bool ManagerServer::waitForHandhelds(const hotsync::PortName& port, std::string* error) {
  port_ = hotsync::HandheldPort::open(port, error);
  if (!port_) return false;
  const std::string shown = hotsync::portText(port);
  switch (port.kind) {
    case hotsync::PortName::Usb: {
      std::string note;
      if (port_->watchFd(&note) < 0) {
        *error = note;
        return false;
      }
      std::fprintf(stderr, "%s watching USB for handhelds%s\n", timeNow().c_str(),
                   note.empty() ? "" : (" (" + note + ")").c_str());
      return true;
    }
    case hotsync::PortName::Tty:
      std::fprintf(stderr, "%s watching %s for a handheld\n", timeNow().c_str(), port.path.c_str());
      handheldFd();
      return true;
    case hotsync::PortName::Net:
    case hotsync::PortName::SerialTcp:
      break;
  }
  warnWhenReachable(port, shown);
  std::fprintf(stderr, "%s listening for network HotSync on port %u\n", timeNow().c_str(), port_->boundPort());
  return true;
}

int ManagerServer::handheldFd() {
  if (!port_) return -1;
  std::string note;
  const int fd = port_->watchFd(&note);
  if (!note.empty()) std::fprintf(stderr, "%s %s\n", timeNow().c_str(), note.c_str());
  return fd;
}

bool ManagerServer::listen(std::string* error) {
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
  listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const mode_t oldMask = ::umask(077);
  const bool bound = listenFd_ >= 0 && ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::umask(oldMask);
  if (!bound || ::chmod(path.c_str(), 0600) != 0 || ::listen(listenFd_, 16) != 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

int ManagerServer::run() {
  State s;
  sigset_t signals;
  sigemptyset(&signals);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, sig);
  ::sigprocmask(SIG_BLOCK, &signals, nullptr);
  const int signalFd = ::signalfd(-1, &signals, SFD_CLOEXEC);

  auto beginQuit = [&] {
    if (!s.quitting) s.quitAt = std::chrono::steady_clock::now();
    s.quitting = true;
    for (Request& r : s.pending) {
      // A caller runs it alone; a waiting handheld sees the link close.
      if (r.client >= 0) reply(r.client, "declined");
      closeRequest(r);
    }
    s.pending.clear();
    // A HotSync in progress is cancelled as its Cancel button would, and
    // the manager waits for it to end cleanly.
    if (s.child > 0 && !s.cancelSent) {
      ::kill(s.child, SIGINT);
      s.cancelSent = true;
    }
  };

  auto startNext = [&] {
    while (s.child < 0 && !s.pending.empty() && !s.quitting) {
      s.current = std::move(s.pending.front());
      s.pending.pop_front();
      const bool called = s.current.client < 0;  // output to the log, not to a caller
      const bool network = called && !s.current.fds.empty();
      std::vector<std::string> args = {"tarvo-hotsync", "sync"};
      // No --conduit of the manager's: the HotSync runs every registered
      // conduit, or the caller's --conduit alone, and says which as it would
      // run alone.
      args.insert(args.end(), s.current.fields.begin() + 3, s.current.fields.end());
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      // How long a HotSync may wait for its handheld while others queue.
      std::vector<std::string> env = s.current.env;
      env.push_back(std::string(kManagedEnv) + "=1");
      env.push_back(std::string(kHandheldWaitEnv) + "=" + std::to_string(handheldWait_));
      if (network) env.push_back(std::string(kHandedLinkEnv) + "=3");
      for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry = *e;
        const bool ours =
            entry.starts_with(kManagedEnv) || entry.starts_with(kHandheldWaitEnv) || entry.starts_with(kHandedLinkEnv);
        if (!ours) env.emplace_back(*e);
      }
      std::vector<char*> envp;
      for (std::string& e : env) envp.push_back(e.data());
      envp.push_back(nullptr);

      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      if (called) {
        // Output goes to the manager's log; nobody is there to answer a prompt.
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (network) posix_spawn_file_actions_adddup2(&actions, s.current.fds[0], 3);
      } else {
        for (int i = 0; i < 3; ++i) posix_spawn_file_actions_adddup2(&actions, s.current.fds[i], i);
      }
      posix_spawn_file_actions_addchdir_np(&actions, s.current.fields[2].c_str());
      posix_spawnattr_t attr;
      posix_spawnattr_init(&attr);
      // Blocked until the HotSync's own handlers are in place: a quit sent
      // at once then cancels it rather than killing it.
      sigset_t blocked, defaults;
      sigemptyset(&blocked);
      for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&blocked, sig);
      sigemptyset(&defaults);
      for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&defaults, sig);
      posix_spawnattr_setsigmask(&attr, &blocked);
      posix_spawnattr_setsigdefault(&attr, &defaults);
      posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
      const std::string self = (programDir() / "tarvo-hotsync").string();
      pid_t pid = -1;
      const int failed = posix_spawn(&pid, self.c_str(), &actions, &attr, argv.data(), envp.data());
      posix_spawn_file_actions_destroy(&actions);
      posix_spawnattr_destroy(&attr);
      if (failed != 0) {
        std::fprintf(stderr, "%s cannot start a HotSync: %s\n", timeNow().c_str(), std::strerror(failed));
        if (!called) reply(s.current.client, "declined");
        if (called && s.current.fds.empty() && port_) port_->resume();
        closeRequest(s.current);
        continue;
      }
      std::fprintf(stderr, "%s HotSync %d started in %s\n", timeNow().c_str(), pid, s.current.fields[2].c_str());
      s.child = pid;
      s.childFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
      s.cancelSent = false;
      s.escalated = 0;
    }
  };

  auto childEnded = [&](int status) {
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (s.current.client < 0 && s.current.fds.empty() && s.current.env.empty()) {
      // The tty's HotSync is over: it is watched again.
      if (port_) port_->resume();
    }
    std::fprintf(stderr, "%s HotSync %d ended with status %d\n", timeNow().c_str(), s.child, code);
    if (s.current.client >= 0) reply(s.current.client, "status " + std::to_string(code));
    closeRequest(s.current);
    if (s.childFd >= 0) ::close(s.childFd);
    s.child = -1;
    s.childFd = -1;
  };

  auto accept = [&] {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    // A caller that stalls mid-request must not stop the manager.
    timeval limit{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    Request r;
    r.client = fd;
    if (!sameUser(fd) || !hotsync::receiveManagerFrame(fd, &r.fields, &r.fds)) {
      closeRequest(r);
      return;
    }
    const std::string verb = r.fields.empty() ? "" : r.fields[0];
    if (verb == "quit") {
      reply(fd, "quitting");
      closeRequest(r);
      if (!s.quitting) std::fprintf(stderr, "%s quit requested\n", timeNow().c_str());
      beginQuit();
    } else if (verb == "sync" && r.fields.size() >= 3 && r.fds.size() == 3 && r.fields[1] == dataFolders() &&
               !s.quitting) {
      // The caller says so, rather than waiting without a word.
      if (s.child > 0 || !s.pending.empty()) {
        reply(fd, "queued");
        std::fprintf(stderr, "%s HotSync queued behind another\n", timeNow().c_str());
      }
      s.pending.push_back(std::move(r));
    } else {
      reply(fd, "declined");
      closeRequest(r);
    }
  };

  // A handheld that calls joins the queue. A network handheld's HotSync
  // gets its connection, and its `sync --listen` makes the opening exchange
  // when its turn comes; a tty's HotSync opens the tty and reads what it
  // sent (the tty is not watched again until that HotSync ends); a USB
  // handheld's opens the device that appeared (it waits on the bus meanwhile).
  auto handheldCalled = [&] {
    const char* home = std::getenv("HOME");
    // Nobody called from a folder; the HotSync runs in the user's home.
    const std::string folder = home != nullptr && *home != '\0' ? home : "/";
    const hotsync::PortName& name = port_->name();
    for (hotsync::HandheldPort::Call& call : port_->takeCalls()) {
      Request r;
      if (name.kind == hotsync::PortName::Net) {
        // Connections cost nothing to open, so a flood must not use up the
        // manager's descriptors: past a few waiting handhelds one is turned away.
        const auto waiting =
            std::count_if(s.pending.begin(), s.pending.end(), [](const Request& q) { return q.client < 0; });
        if (s.quitting || waiting >= kMaxWaitingHandhelds) {
          ::close(call.fd);
          continue;
        }
        r.fds = {call.fd};
        r.fields = {"sync", dataFolders(), folder, "--listen"};
        s.pending.push_back(std::move(r));
        std::fprintf(stderr, "%s network HotSync queued\n", timeNow().c_str());
      } else if (s.quitting) {
        if (name.kind == hotsync::PortName::Tty) port_->resume();
      } else if (name.kind == hotsync::PortName::Usb) {
        r.fields = {"sync", dataFolders(), folder, "--port", "usb:"};
        r.env = {std::string(hotsync::kUsbDeviceEnv) + "=" + call.usbDevice};
        s.pending.push_back(std::move(r));
        std::fprintf(stderr, "%s USB HotSync queued (at %s)\n", timeNow().c_str(), call.usbDevice.c_str());
      } else {
        r.fields = {"sync", dataFolders(), folder, "--port", name.path};
        s.pending.push_back(std::move(r));
        std::fprintf(stderr, "%s serial HotSync queued\n", timeNow().c_str());
      }
    }
  };

  // A queued HotSync whose caller went away (or pressed Cancel) before its
  // turn never starts; neither does that of a handheld that hung up.
  auto dropWithdrawn = [&](const std::vector<pollfd>& polled, size_t first) {
    std::deque<Request> kept;
    for (size_t i = 0; i < s.pending.size(); ++i) {
      Request& r = s.pending[i];
      if (polled[first + i].revents == 0) {
        kept.push_back(std::move(r));
        continue;
      }
      const bool network = r.client < 0;
      std::fprintf(stderr, "%s %s\n", timeNow().c_str(),
                   network ? "a queued network HotSync hung up before its turn"
                           : "a queued HotSync was withdrawn by its caller before its turn");
      if (!network) reply(r.client, "cancelled");
      closeRequest(r);
    }
    s.pending = std::move(kept);
  };

  // A HotSync that does not end after the quit's Cancel is ended for good.
  auto escalate = [&] {
    const auto waited = std::chrono::steady_clock::now() - s.quitAt;
    if (s.escalated < 1 && waited >= kSecondSignalAfter) {
      std::fprintf(stderr, "%s HotSync %d did not end after its Cancel: ending it\n", timeNow().c_str(), s.child);
      ::kill(s.child, SIGINT);
      s.escalated = 1;
    } else if (s.escalated < 2 && waited >= kKillAfter) {
      std::fprintf(stderr, "%s HotSync %d still runs: killing it\n", timeNow().c_str(), s.child);
      ::kill(s.child, SIGKILL);
      s.escalated = 2;
    }
  };

  std::fprintf(stderr, "%s HotSync manager %d listening\n", timeNow().c_str(), ::getpid());
  std::fflush(stderr);
  while (!(s.quitting && s.child < 0)) {
    startNext();
    const int calledOn = handheldFd();
    std::vector<pollfd> polled = {{listenFd_, POLLIN, 0}, {signalFd, POLLIN, 0}, {calledOn, POLLIN, 0}};
    const bool watchChild = s.child > 0 && s.childFd >= 0;
    const bool watchCaller = s.child > 0 && !s.cancelSent && s.current.client >= 0;
    if (watchChild) polled.push_back({s.childFd, POLLIN, 0});
    const size_t callerAt = polled.size();
    if (watchCaller) polled.push_back({s.current.client, POLLIN, 0});
    // A caller writes nothing after its request: anything readable is its
    // end (EOF). A handheld may well have sent its first packet: only its
    // hang-up counts. A tty's call has nothing to watch.
    const size_t pendingAt = polled.size();
    for (const Request& r : s.pending) {
      if (r.client >= 0)
        polled.push_back({r.client, POLLIN, 0});
      else
        polled.push_back({r.fds.empty() ? -1 : r.fds[0], POLLRDHUP, 0});
    }
    // Without a pidfd (old kernels) the child is looked at a few times a
    // second, and so is one that was asked to end for a quit; a tty that is
    // not there yet every few seconds.
    const bool ending = s.child > 0 && s.quitting;
    int wait = s.child > 0 && (s.childFd < 0 || ending) ? 200 : -1;
    if (port_ && port_->name().kind == hotsync::PortName::Tty && calledOn < 0 && wait < 0) wait = 3000;
    if (::poll(polled.data(), polled.size(), wait) < 0 && errno != EINTR) break;
    if (polled[1].revents != 0) {
      signalfd_siginfo info{};
      (void)!::read(signalFd, &info, sizeof info);
      beginQuit();
    }
    if (s.child > 0) {
      int status = 0;
      if (::waitpid(s.child, &status, WNOHANG) == s.child) {
        childEnded(status);
      } else if (watchCaller && polled[callerAt].revents != 0) {
        // The caller went away (Ctrl-C, closed terminal) or forwarded its
        // Cancel: cancel its HotSync; a caller still there gets the status.
        ::kill(s.child, SIGINT);
        s.cancelSent = true;
      } else if (s.quitting && s.cancelSent) {
        escalate();
      }
    }
    if (!s.quitting) dropWithdrawn(polled, pendingAt);
    if (polled[0].revents != 0) accept();
    if (polled[2].revents != 0) handheldCalled();
    std::fflush(stderr);
  }
  if (signalFd >= 0) ::close(signalFd);
  std::fprintf(stderr, "%s HotSync manager %d quits\n", timeNow().c_str(), ::getpid());
  return 0;
}

}  // namespace tarvo::host
