// tarvo-hotsync users: the HotSync users and how many files each has queued.
#include <cstdio>

#include "cli/arguments.h"
#include "host/commands.h"
#include "hotsync/host.h"

namespace tarvo::host {

int commandUsers(int argc, char** argv) {
  cli::Args args;
  std::string error;
  if (!cli::parse(argc, argv, 1, {}, &args, &error)) return usageFail("users", error);
  if (args.has("help")) {
    std::fputs(
        "usage: tarvo-hotsync users\n"
        "\n"
        "One line per HotSync user: the name and the number of files queued\n"
        "for the user's next HotSync.\n",
        stdout);
    return kExitOk;
  }
  if (!args.positional.empty()) return usageFail("users", "unexpected argument " + args.positional[0]);
  // A copy still being written is not queued yet.
  for (const std::string& user : hotsync::users())
    std::printf("%s\t%zu queued\n", user.c_str(), hotsync::queuedFiles(user).size());
  return kExitOk;
}

}  // namespace tarvo::host
