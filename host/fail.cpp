// The host's error lines.
#include <cstdio>

#include "cli/arguments.h"
#include "host/commands.h"

namespace tarvo::host {

int fail(const std::string& message, int status) {
  std::fflush(stdout);
  std::fprintf(stderr, "tarvo-hotsync: %s\n", message.c_str());
  return status;
}

int usageFail(const std::string& command, const std::string& what) {
  cli::reportUsage("tarvo-hotsync " + command, what);
  return kExitBadInput;
}

}  // namespace tarvo::host
