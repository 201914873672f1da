#include "host/hotsync_child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "host/conduit_loader.h"
#include "host/session_environment.h"

extern char** environ;

namespace tarvo::host {
namespace {

// The descriptors the HotSync finds its link and its report pipe on.
constexpr int kLinkFd = 3;
constexpr int kReportFd = 4;

}  // namespace

bool startHotSync(const HotSyncLaunch& launch, RunningHotSync* running, std::string* error) {
  std::vector<std::string> args = {"tarvo-hotsync", "sync", "--managed", "--report-fd", std::to_string(kReportFd)};
  if (launch.linkFd >= 0) args.insert(args.end(), {"--link-fd", std::to_string(kLinkFd)});
  // How long a HotSync may wait for its handheld while others queue.
  const bool waitGiven = std::any_of(launch.args.begin(), launch.args.end(),
                                     [](const std::string& a) { return a == "--wait" || a.starts_with("--wait="); });
  if (!waitGiven) args.insert(args.end(), {"--wait", std::to_string(launch.handheldWait)});
  args.insert(args.end(), launch.options.begin(), launch.options.end());
  // No --conduit of the manager's: the HotSync runs every registered
  // conduit, or the caller's --conduit alone, and says which as it would
  // run alone.
  args.insert(args.end(), launch.args.begin(), launch.args.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env;
  if (launch.session) env = environmentWithSession(environ, *launch.session);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (launch.stdio.size() == 3) {
    for (int i = 0; i < 3; ++i) posix_spawn_file_actions_adddup2(&actions, launch.stdio[i], i);
  } else {
    // Output goes to the manager's log; nobody is there to answer a prompt.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  if (launch.linkFd >= 0) posix_spawn_file_actions_adddup2(&actions, launch.linkFd, kLinkFd);
  posix_spawn_file_actions_adddup2(&actions, report[1], kReportFd);
  posix_spawn_file_actions_addchdir_np(&actions, launch.cwd.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Blocked until the HotSync's own handlers are in place: a quit sent at
  // once then cancels it rather than killing it.
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
  const int failed =
      posix_spawn(&pid, self.c_str(), &actions, &attr, argv.data(), launch.session ? envp.data() : environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(report[1]);
  if (failed != 0) {
    ::close(report[0]);
    *error = std::strerror(failed);
    return false;
  }
  ::fcntl(report[0], F_SETFL, ::fcntl(report[0], F_GETFL) | O_NONBLOCK);
  running->pid = pid;
  running->pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  running->reportFd = report[0];
  return true;
}

}  // namespace tarvo::host
