#include "engine/shell_open.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include "engine/engine_text.h"
#include "resources/trace.h"

extern char** environ;

namespace tarvo::engine {
namespace {

// Openers started by this process and not yet reaped. Only these pids are
// waited for, so the host's own children are never taken from it.
std::mutex g_childrenMutex;
std::vector<pid_t> g_children;

void ReapFinished() {
  std::lock_guard lock(g_childrenMutex);
  std::erase_if(g_children, [](pid_t pid) {
    const pid_t rc = waitpid(pid, nullptr, WNOHANG);
    return rc == pid || rc < 0;  // ended, or no longer ours to wait for
  });
}

}  // namespace

std::string OpenerProgram() {
  if (const char* opener = std::getenv("TARVO_OPENER"); opener && *opener) return opener;
  return "xdg-open";
}

pid_t ShellOpen(const std::string& target) {
  ReapFinished();
  const std::string program = OpenerProgram();
  std::string argument = target;
  char* argv[] = {const_cast<char*>(program.c_str()), argument.data(), nullptr};

  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  if (posix_spawnattr_init(&attributes) != 0) return -1;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    posix_spawnattr_destroy(&attributes);
    return -1;
  }
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  // The host's sockets, databases and logs are not the opener's business.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    TarvoTrace("ShellOpen: cannot start %s (error %d)", program.c_str(), rc);
    return -1;
  }
  std::lock_guard lock(g_childrenMutex);
  g_children.push_back(pid);
  return pid;
}

bool IsWebAddress(const std::string& url) {
  const std::string lower = AsciiLower(url);
  std::size_t schemeLength = 0;
  if (lower.starts_with("http://")) {
    schemeLength = 7;
  } else if (lower.starts_with("https://")) {
    schemeLength = 8;
  } else {
    return false;
  }
  if (url.size() <= schemeLength) return false;
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

}  // namespace tarvo::engine
