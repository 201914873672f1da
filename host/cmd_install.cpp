// tarvo-hotsync install: queue database files for a user's next HotSync.
#include <cstdio>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/user_lookup.h"
#include "hotsync/host.h"
#include "hotsync/instaide.h"
#include "pdb/pdb.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kHelp =
    "usage: tarvo-hotsync install --user NAME [--create] FILE...\n"
    "\n"
    "Queues each Palm database FILE for user NAME's next HotSync (a copy is\n"
    "taken now). Every file is checked first: when one is not a database,\n"
    "nothing is queued. An unknown user is refused unless --create is given.\n";

constexpr cli::Option kOptions[] = {
    {"user", cli::Value, "NAME"},
    {"create"},
};

}  // namespace

std::span<const cli::Option> installOptions() { return kOptions; }

int commandInstall(int argc, char** argv) {
  cli::Args args;
  std::string error;
  if (!cli::parse(argc, argv, 1, kOptions, &args, &error)) return usageFail("install", error);
  if (args.has("help")) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (!args.hasValue("user")) return usageFail("install", "missing --user NAME");
  if (args.positional.empty()) return usageFail("install", "missing FILE to queue");
  const std::string user = args.value("user");

  for (const std::string& file : args.positional) {
    try {
      pdb::readFile(file);
    } catch (const std::exception& e) {
      return fail(file + ": not a Palm database: " + e.what());
    }
  }
  if (!isHotSyncUser(user)) {
    if (!args.has("create")) return fail("no HotSync user " + user + " (--create makes one)");
    if (!hotsync::addUser(user, &error)) return fail(error);
    std::printf("new HotSync user \"%s\"\n", user.c_str());
  }
  for (const std::string& file : args.positional) {
    // The install aide takes the user name as the handheld writes it.
    const int32_t status = PltInstallFile(Utf8ToCp1252(user).c_str(), file.c_str());
    if (status < 0) return fail(file + ": could not be queued (" + std::to_string(status) + ")");
    std::printf("queued %s for %s\n", file.c_str(), user.c_str());
  }
  return kExitOk;
}

}  // namespace tarvo::host
