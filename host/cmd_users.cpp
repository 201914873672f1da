// tarvo-hotsync users: the HotSync users and how many files each has queued.
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/user_lookup.h"
#include "hotsync/backup.h"
#include "hotsync/host.h"

namespace tarvo::host {
namespace {

constexpr cli::Option kUsersOptions[] = {
    {"add", cli::Value, "NAME"},
    {"delete", cli::Value, "NAME"},
    {"with-backups"},
    {"yes"},
};

constexpr const char* kUsersHelp =
    "One line per HotSync user: the name and the number of files queued\n"
    "for the user's next HotSync.\n"
    "\n"
    "  --add NAME     add HotSync user NAME ahead of its first HotSync, so\n"
    "                 that files can be queued and settings made for it; a\n"
    "                 handheld whose user has that name then HotSyncs as it\n"
    "  --delete NAME  delete HotSync user NAME: its desktop log and install\n"
    "                 queue (its settings stay: see settings). It asks on the\n"
    "                 terminal first, and refuses without one unless --yes\n"
    "  --with-backups with --delete, its backups too; without it they stay,\n"
    "                 for restore --user NAME to put on a reset handheld\n"
    "  --yes          with --delete, do not ask\n";

int runUsers(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
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
    const bool withBackups = args.has("with-backups");
    if (!isHotSyncUser(user)) return fail("no HotSync user \"" + user + "\"");
    if (!args.has("yes")) {
      if (::isatty(STDIN_FILENO) == 0) {
        return fail("not deleting HotSync user \"" + user + "\" without a terminal to ask on (give --yes)");
      }
      if (!askYesNo("Delete HotSync user \"" + user + "\": its desktop log and install queue" +
                    (withBackups ? ", and its backups?" : " (its backups stay)?"))) {
        std::printf("kept HotSync user \"%s\"\n", user.c_str());
        return kExitOk;
      }
    }
    if (!hotsync::removeUser(user, !withBackups, &error)) return fail(error);
    const bool kept = !withBackups && std::filesystem::is_directory(hotsync::userBackupDir(user));
    std::printf("deleted HotSync user \"%s\"%s\n", user.c_str(),
                kept ? ("; its backups stay in " + hotsync::userBackupDir(user).string()).c_str() : "");
    return kExitOk;
  }
  const std::vector<std::string> users = hotsync::users();
  // Standard output stays a list for scripts; the person learns why it is empty.
  if (users.empty())
    std::fprintf(stderr, "no HotSync user yet: the first HotSync makes one (press HotSync on the handheld)\n");
  // A copy still being written is not queued yet.
  for (const std::string& user : users)
    std::printf("%s\t%zu queued\n", user.c_str(), hotsync::queuedFiles(user).size());
  return kExitOk;
}

}  // namespace

const Command kUsersCommand = {
    "users",
    "[--add NAME | --delete NAME [--with-backups] [--yes]]",
    "the HotSync users; add or delete one",
    kUsersHelp,
    "",
    kUsersOptions,
    Words::None,
    runUsers,
};

}  // namespace tarvo::host
