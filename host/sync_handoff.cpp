#include "host/sync_handoff.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "host/commands.h"
#include "host/manager_server.h"
#include "hotsync/manager.h"

namespace tarvo::host {

bool handSyncToManager(int argc, char** argv, int* status) {
  if (std::getenv(kManagedEnv) != nullptr) return false;  // this is the manager's HotSync
  const int fd = hotsync::connectManager();
  if (fd < 0) return false;
  std::error_code ec;
  std::vector<std::string> fields = {"sync", dataFolders(), std::filesystem::current_path(ec).string()};
  for (int i = 1; i < argc; ++i) fields.emplace_back(argv[i]);
  std::fflush(nullptr);
  std::string line;
  const bool sent = !ec && hotsync::sendManagerFrame(fd, fields, {0, 1, 2});
  const bool answered = sent && hotsync::receiveManagerLine(fd, &line);
  ::close(fd);
  if (!sent || line == "declined") return false;
  if (!answered || line.rfind("status ", 0) != 0) {
    *status = fail("the HotSync manager ended during the HotSync", kExitConduitFailed);
    return true;
  }
  *status = std::atoi(line.c_str() + 7);
  return true;
}

}  // namespace tarvo::host
