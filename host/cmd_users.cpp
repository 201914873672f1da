// tarvo-hotsync users: the HotSync users and how many files each has queued.
#include <cstdio>

#include "cli/arguments.h"
#include "host/commands.h"
#include "hotsync/host.h"

namespace tarvo::host {
namespace {

constexpr cli::Option kUsersOptions[] = {
    {"delete", cli::Value, "NAME"},
};

}  // namespace

std::span<const cli::Option> usersOptions() { return kUsersOptions; }

int commandUsers(int argc, char** argv) {
  cli::Args args;
  std::string error;
  if (!cli::parse(argc, argv, 1, kUsersOptions, &args, &error)) return usageFail("users", error);
  if (args.has("help")) {
    std::fputs(
        "usage: tarvo-hotsync users [--delete NAME]\n"
        "\n"
        "One line per HotSync user: the name and the number of files queued\n"
        "for the user's next HotSync.\n"
        "\n"
        "  --delete NAME  delete HotSync user NAME: its desktop log, install\n"
        "                 queue and backups (its settings stay: see settings)\n",
        stdout);
    return kExitOk;
  }
  if (!args.positional.empty()) return usageFail("users", "unexpected argument " + args.positional[0]);
  if (args.hasValue("delete")) {
    const std::string user = args.value("delete");
    if (!hotsync::removeUser(user, &error)) return fail(error);
    std::printf("deleted HotSync user \"%s\"\n", user.c_str());
    return kExitOk;
  }
  // A copy still being written is not queued yet.
  for (const std::string& user : hotsync::users())
    std::printf("%s\t%zu queued\n", user.c_str(), hotsync::queuedFiles(user).size());
  return kExitOk;
}

}  // namespace tarvo::host
