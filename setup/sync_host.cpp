#include "setup/sync_host.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "hotsync/instaide.h"
#include "hotsync/manager.h"

extern char** environ;

namespace tarvo::setup {
namespace {

// Runs a program found on PATH and waits for it; true when it exits 0.
bool runAndWait(const char* program, char* const argv[], posix_spawn_file_actions_t* actions) {
  pid_t pid = -1;
  if (posix_spawnp(&pid, program, actions, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The pid the running (or last) manager wrote into its lock; 0 when none.
pid_t lockedManagerPid() {
  std::string error;
  const std::filesystem::path dir = hotsync::managerDir(&error);
  if (dir.empty()) return 0;
  std::ifstream lock(dir / "manager.lock");
  long pid = 0;
  lock >> pid;
  return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

class PlatformSyncHost final : public SyncHost {
 public:
  bool requestQuit() override {
    const pid_t pid = lockedManagerPid();
    const bool answered = hotsync::requestManagerQuit();
    if (answered && pid > 0 && runByUserUnit(pid)) byUnit_ = true;
    return answered;
  }
  void pause(std::chrono::milliseconds time) override { std::this_thread::sleep_for(time); }

  void start() override {
    // systemd ran the manager that quit: it runs the next one too, in the
    // unit, with the session's environment, rather than one started here
    // with the caller's environment and outside the unit.
    if (byUnit_) {
      byUnit_ = false;
      char* argv[] = {const_cast<char*>("systemctl"), const_cast<char*>("--user"), const_cast<char*>("restart"),
                      const_cast<char*>(kManagerUnit), nullptr};
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
      const bool restarted = runAndWait("systemctl", argv, &actions);
      posix_spawn_file_actions_destroy(&actions);
      if (restarted) return;
    }
    char folder[260] = {};
    int16_t size = sizeof folder;
    // Without the folder the program is looked for by its bare name.
    if (PltGetPath(kPathHotSyncFolder, folder, &size) <= 0) folder[0] = 0;
    const std::string program = std::string(folder) + "tarvo-hotsync";
    char* argv[] = {const_cast<char*>("tarvo-hotsync"), const_cast<char*>("manager"), const_cast<char*>("-r"), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (folder[0] != 0) posix_spawn_file_actions_addchdir_np(&actions, folder);
    // "-r" puts the manager in the background and returns once it listens,
    // so this wait is short and leaves no zombie behind.
    runAndWait(program.c_str(), argv, &actions);
    posix_spawn_file_actions_destroy(&actions);
  }

 private:
  bool byUnit_ = false;  // the manager that quit ran in the user unit
};

}  // namespace

bool runByUserUnit(pid_t pid) {
  // cgroup v2, one line: "0::/user.slice/user-1000.slice/user@1000.service/app.slice/tarvo-hotsync.service".
  // A process started from a terminal or by the desktop sits elsewhere,
  // even where the terminal itself is a systemd service.
  std::ifstream file("/proc/" + std::to_string(pid) + "/cgroup");
  for (std::string line; std::getline(file, line);) {
    if (line.find("/user@") != std::string::npos && line.ends_with(std::string("/") + kManagerUnit)) return true;
  }
  return false;
}

SyncHost& platformSyncHost() {
  static PlatformSyncHost host;
  return host;
}

bool closeSyncHost(SyncHost& host) {
  for (int i = 0; i < kCloseRequests; ++i) {
    if (!host.requestQuit()) return true;
    host.pause(kCloseWait);
  }
  std::fprintf(stderr, "tarvo: the HotSync manager did not quit after %d requests\n", kCloseRequests);
  return false;
}

}  // namespace tarvo::setup
