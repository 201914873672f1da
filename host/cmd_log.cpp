// tarvo-hotsync log: the desktop HotSync logs and a handheld's own log.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "host/args.h"
#include "host/commands.h"
#include "host/handheld_reader.h"
#include "host/text.h"
#include "host/user_lookup.h"
#include "hotsync/host.h"

namespace tarvo::host {
namespace {

constexpr const char* kHelp =
    "usage: tarvo-hotsync log [--user NAME] [--handheld DIR]\n"
    "\n"
    "Shows the desktop HotSync log of user NAME, or of every user when no\n"
    "--user is given; with --handheld also the log kept on that handheld.\n";

void printFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::puts("  (empty)");
    return;
  }
  std::cout.flush();
  std::cout << in.rdbuf();
  std::cout.flush();
}

}  // namespace

int commandLog(int argc, char** argv) {
  Args args;
  std::string error;
  if (!parseArgs(argc, argv, 1, {{"user", true}, {"handheld", true}}, &args, &error))
    return fail(error);
  if (args.has("help")) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (!args.positional.empty()) return fail("log takes no argument " + args.positional[0]);

  std::vector<std::string> users;
  if (args.hasValue("user")) {
    if (!isHotSyncUser(args.value("user"))) return fail("no HotSync user " + args.value("user"));
    users.push_back(args.value("user"));
  } else {
    users = hotsync::users();
  }
  // Connect first so that a bad folder fails before anything is printed.
  ConnectedHandheld handheld;
  if (args.hasValue("handheld") && !handheld.connect(args.value("handheld"), &error))
    return fail(error);

  for (const std::string& user : users) {
    std::printf("== desktop log of %s\n", user.c_str());
    std::fflush(stdout);
    printFile(hotsync::userLogFile(user));
  }
  if (args.hasValue("handheld")) {
    std::printf("== handheld log of %s\n", args.value("handheld").c_str());
    for (const std::string& line : hotsync::handheldLog())
      std::printf("%s\n", line.c_str());  // already UTF-8 on disk
  }
  return kExitOk;
}

}  // namespace tarvo::host
