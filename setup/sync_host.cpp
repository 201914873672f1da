#include "setup/sync_host.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "hotsync/instaide.h"
#include "hotsync/manager.h"

extern char** environ;

namespace tarvo::setup {
namespace {

class PlatformSyncHost final : public SyncHost {
 public:
  bool requestQuit() override { return hotsync::requestManagerQuit(); }
  void pause(std::chrono::milliseconds time) override { std::this_thread::sleep_for(time); }

  void start() override {
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
    pid_t pid = -1;
    // "-r" puts the manager in the background and returns once it listens,
    // so this wait is short and leaves no zombie behind.
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0) {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
    posix_spawn_file_actions_destroy(&actions);
  }
};

}  // namespace

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
