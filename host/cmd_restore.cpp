// tarvo-hotsync restore: puts a user's backup back onto a handheld.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/db_view.h"
#include "host/handheld_port.h"
#include "host/handheld_reader.h"
#include "host/user_lookup.h"
#include "hotsync/backup.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kRestoreHelp =
    "Writes the backup of HotSync user NAME (made by sync) onto the handheld in\n"
    "DIR, or the live one that calls on PORT (see sync --help; --listen[=ADDR[:PORT]]\n"
    "is --port net:...), after a reset or onto a\n"
    "new one. Each database is installed as a queued file is; one the handheld\n"
    "already holds unchanged, or with the backup's content under newer dates, is\n"
    "skipped. Before a database that is newer on the\n"
    "handheld is overwritten it asks, unless --yes; without a terminal to ask\n"
    "on, such a database is kept.\n"
    "\n"
    "Exit status: 0 restored, 1 bad input or no backup, 4 some databases not\n"
    "restored (one line each).\n";

// Could hold the same content: worth reading the handheld's copy to see.
bool sameShape(const hotsync::BackupFile& file, const DbHeader& held) {
  return file.type == held.type && file.creator == held.creator && file.version == held.version &&
         file.entries == held.entryCount && file.resourceDb == held.resourceDb;
}

// The same database in the same state: nothing to write.
bool identical(const hotsync::BackupFile& file, const DbHeader& held) {
  return file.creationDate == held.creationDate && file.modificationDate == held.modificationDate &&
         file.modificationNumber == held.modificationNumber && sameShape(file, held);
}

bool askOverwrite(const std::string& name, const DbHeader& held, const hotsync::BackupFile& file) {
  return askYesNo(name + " on the handheld was changed " + formatPalmDate(held.modificationDate) +
                  ", after its backup (" + formatPalmDate(file.modificationDate) + "). Overwrite it?");
}

constexpr cli::Option kRestoreOptions[] = {
    {"user", cli::Value, "NAME"},
    {"handheld", cli::Value, "DIR"},
    {"port", cli::Value, "PORT"},
    {"listen", cli::OptionalValue, "ADDR[:PORT]"},
    {"rate", cli::Value, "N"},
    {"wait", cli::Value, "SECONDS"},
    {"yes"},
};

int runRestore(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  if (!args.hasValue("user")) return usageFail("restore", "give --user NAME");
  ChosenPort port;
  bool live = false;
  if (!choosePort(portOptions(args), !args.hasValue("handheld"), &port, &live, &error))
    return usageFail("restore", error);
  if (args.hasValue("handheld") == live) return usageFail("restore", "give --handheld DIR or --port PORT");
  const std::string user = args.value("user");
  // A deleted user's kept backups restore as well.
  if (!isHotSyncUser(user) && !std::filesystem::is_directory(hotsync::userBackupDir(user)))
    return fail("no HotSync user \"" + user + "\"");
  std::vector<std::string> skipped;
  const std::vector<hotsync::BackupFile> backup = hotsync::readBackupFolder(hotsync::userBackupDir(user), &skipped);
  for (const std::string& line : skipped) fail(line, 0);
  if (backup.empty()) return fail("no backup of \"" + user + "\" in " + hotsync::userBackupDir(user).string());

  ConnectedHandheld handheld;
  if (const int status = handheld.open(live, port, args.value("handheld"), &error); status != kExitOk)
    return fail(error, status);
  std::vector<DbHeader> all;
  if (!listDatabases(&all, &error)) return fail(error);
  std::map<std::string, DbHeader> held;
  for (const DbHeader& header : all) held.emplace(header.name, header);

  const bool canAsk = ::isatty(STDIN_FILENO) != 0;
  int restored = 0, unchanged = 0, notRestored = 0;
  for (const hotsync::BackupFile& file : backup) {
    const std::string name = Cp1252ToUtf8(file.name);
    if (const auto it = held.find(file.name); it != held.end()) {
      if (identical(file, it->second)) {
        ++unchanged;
        continue;
      }
      // Restored before: the handheld dated it anew, but holds the backup's content.
      if (sameShape(file, it->second) && hotsync::heldUnchanged(file.path)) {
        std::printf("already there: %s (the same content as its backup)\n", name.c_str());
        ++unchanged;
        continue;
      }
      if (it->second.modificationDate > file.modificationDate && !args.has("yes")) {
        const bool overwrite = canAsk && askOverwrite(name, it->second, file);
        if (!overwrite) {
          std::printf("kept %s: newer on the handheld than its backup\n", name.c_str());
          if (!canAsk) ++notRestored;  // nobody decided: say so in the status
          continue;
        }
      }
    }
    if (!hotsync::installDatabase(file.path, &error)) {
      fail("not restored: " + name + ": " + error, 0);
      ++notRestored;
      continue;
    }
    std::printf("restored %s\n", name.c_str());
    ++restored;
  }
  handheld.disconnect();
  std::printf("restore: %d database%s restored, %d already there, %d not restored\n", restored,
              restored == 1 ? "" : "s", unchanged, notRestored);
  return notRestored == 0 ? kExitOk : kExitServersFailed;
}

}  // namespace

const Command kRestoreCommand = {
    "restore",
    "--user NAME (--handheld DIR | --port PORT [--rate N] [--wait SECONDS]) [--yes]",
    "write a user's backup onto a handheld",
    kRestoreHelp,
    "",
    kRestoreOptions,
    Words::None,
    runRestore,
};

}  // namespace tarvo::host
