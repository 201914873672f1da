// tarvo-hotsync users: the HotSync users and how many files each has queued.
#include <cstdio>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/user_lookup.h"
#include "hotsync/host.h"

namespace tarvo::host {
namespace {

constexpr cli::Option kUsersOptions[] = {
    {"add", cli::Value, "NAME"},
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
        "usage: tarvo-hotsync users [--add NAME | --delete NAME]\n"
        "\n"
        "One line per HotSync user: the name and the number of files queued\n"
        "for the user's next HotSync.\n"
        "\n"
        "  --add NAME     add HotSync user NAME ahead of its first HotSync, so\n"
        "                 that files can be queued and settings made for it; a\n"
        "                 handheld whose user has that name then HotSyncs as it\n"
        "  --delete NAME  delete HotSync user NAME: its desktop log, install\n"
        "                 queue and backups (its settings stay: see settings)\n",
        stdout);
    return kExitOk;
  }
  if (!args.positional.empty()) return usageFail("users", "unexpected argument " + args.positional[0]);
  if (args.has("add") && args.has("delete")) return usageFail("users", "--add and --delete exclude each other");
  if (args.hasValue("add")) {
    const std::string user = args.value("add");
    if (isHotSyncUser(user)) return fail("HotSync user \"" + user + "\" exists already");
    if (!hotsync::addUser(user, &error)) return fail(error);
    std::printf("added HotSync user \"%s\"\n", user.c_str());
    return kExitOk;
  }
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
