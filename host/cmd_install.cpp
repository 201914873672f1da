// tarvo-hotsync install: queue database files for a user's next HotSync.
#include <cstdio>
#include <filesystem>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/user_lookup.h"
#include "hotsync/host.h"
#include "pdb/pdb.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kInstallHelp =
    "Queues each Palm database FILE for user NAME's next HotSync (a copy is\n"
    "taken now). Every file is checked first: when one is not a database,\n"
    "nothing is queued. An unknown user is refused unless --create is given.\n"
    "A file holding a database of the same name as one queued replaces it,\n"
    "and a line says so.\n"
    "\n"
    "  --list         what is queued: user, file, database name and bytes,\n"
    "                 one line each (of every user without --user)\n"
    "  --remove NAME  take the queued file NAME, or the one holding the\n"
    "                 database NAME, out of USER's queue\n";

constexpr cli::Option kInstallOptions[] = {
    {"user", cli::Value, "NAME"},
    {"create"},
    {"list"},
    {"remove", cli::Value, "NAME"},
};

int listQueues(const cli::Args& args) {
  if (!args.positional.empty()) return usageFail("install", "--list takes no FILE");
  std::vector<std::string> users = hotsync::users();
  if (args.hasValue("user")) {
    if (!isHotSyncUser(args.value("user"))) return fail("no HotSync user " + args.value("user"));
    users = {args.value("user")};
  }
  for (const std::string& user : users) {
    for (const hotsync::QueuedFile& queued : hotsync::queuedFiles(user)) {
      std::printf("%s\t%s\t%s\t%ju\n", user.c_str(), queued.file.c_str(),
                  queued.database.empty() ? "(not a database)" : queued.database.c_str(), queued.bytes);
    }
  }
  return kExitOk;
}

int removeQueued(const cli::Args& args) {
  if (!args.positional.empty()) return usageFail("install", "--remove takes no FILE");
  if (!args.hasValue("user")) return usageFail("install", "--remove needs --user USER");
  const std::string user = args.value("user");
  if (!isHotSyncUser(user)) return fail("no HotSync user " + user);
  const std::string name = args.value("remove");
  const std::vector<std::string> removed = hotsync::removeQueuedFiles(user, name);
  if (removed.empty()) return fail("nothing named " + name + " is queued for " + user + " (see install --list)");
  for (const std::string& file : removed) std::printf("removed %s from the queue of %s\n", file.c_str(), user.c_str());
  return kExitOk;
}

int runInstall(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  if (args.has("list") && args.has("remove")) return usageFail("install", "--list and --remove exclude each other");
  if (args.has("list")) return listQueues(args);
  if (args.has("remove")) return removeQueued(args);
  if (!args.hasValue("user")) return usageFail("install", "missing --user NAME");
  if (args.positional.empty()) return usageFail("install", "missing FILE to queue");
  const std::string user = args.value("user");

  std::vector<std::string> databases;
  for (const std::string& file : args.positional) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return fail(file + ": no such file");
    if (std::filesystem::is_directory(file, ec)) return fail(file + ": a folder, not a Palm database file");
    try {
      databases.push_back(Cp1252ToUtf8(pdb::readFile(file).db.name));
    } catch (const std::exception& e) {
      return fail(file + ": not a Palm database: " + e.what());
    }
  }
  if (!isHotSyncUser(user)) {
    if (!args.has("create")) return fail("no HotSync user " + user + " (--create makes one)");
    if (!hotsync::addUser(user, &error)) return fail(error);
    std::printf("new HotSync user \"%s\"\n", user.c_str());
  }
  for (size_t i = 0; i < args.positional.size(); ++i) {
    const std::string& file = args.positional[i];
    // What this one replaces: a copy of the same file name, or one that
    // holds a database of the same name (the install aide takes it out).
    const std::string fileName = std::filesystem::path(file).filename().string();
    std::vector<hotsync::QueuedFile> replaced;
    for (const hotsync::QueuedFile& queued : hotsync::queuedFiles(user)) {
      if (queued.file == fileName || queued.database == databases[i]) replaced.push_back(queued);
    }
    // The install aide takes the user name as the handheld writes it.
    std::string why;
    if (hotsync::queueInstall(Utf8ToCp1252(user).c_str(), file.c_str(), &why) < 0)
      return fail(file + ": could not be queued for " + user + ": " + why);
    std::printf("queued %s for %s\n", file.c_str(), user.c_str());
    for (const hotsync::QueuedFile& queued : replaced) {
      std::printf("  replacing the queued %s (database \"%s\")\n", queued.file.c_str(),
                  queued.database.empty() ? "?" : queued.database.c_str());
    }
  }
  return kExitOk;
}

}  // namespace

const Command kInstallCommand = {
    "install",
    "--user NAME [--create] FILE...\n"
    "--list [--user NAME]\n"
    "--remove NAME --user USER",
    "queue databases for a user's next HotSync, list or remove queued ones",
    kInstallHelp,
    "",
    kInstallOptions,
    Words::Some,
    runInstall,
};

}  // namespace tarvo::host
