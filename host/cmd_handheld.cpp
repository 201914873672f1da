// tarvo-hotsync handheld list|dump: what a simulated handheld holds, read
// through the Sync Manager.
#include <cstdio>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/handheld_make.h"
#include "host/handheld_port.h"
#include "host/handheld_reader.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kHandheldHelp =
    "--port waits for a live handheld on PORT and reads it instead of a folder:\n"
    "a tty (/dev/ttyUSB0), net:[ADDR][:PORT] (network HotSync, default\n"
    "127.0.0.1:14238; --listen[=ADDR[:PORT]] is the same), serial-tcp:[ADDR][:PORT]\n"
    "(an emulator's serial port, default 127.0.0.1:6416) or usb:. Without\n"
    "--handheld or --port, $PILOTPORT names the port. --rate N (or $PILOTRATE)\n"
    "caps a serial line's speed; --wait SECONDS gives up on a handheld that\n"
    "never comes (exit status 9).\n"
    "list: one line per database: card, name, type, creator, version, records.\n"
    "dump: the header of database NAME and every record, its bytes as hex and text.\n"
    "make: a simulated handheld in DIR (missing or empty) holding every database\n"
    "of the backup folder BACKUP: a user's backup made by sync, or a folder of\n"
    ".pdb/.prc files such as pilot-xfer --backup writes (names are read from the\n"
    "files). Its user is NAME, else the user the backup belongs to, else the\n"
    "folder's name.\n";

constexpr cli::Option kHandheldOptions[] = {
    {"handheld", cli::Value, "DIR"}, {"listen", cli::OptionalValue, "ADDR[:PORT]"},
    {"port", cli::Value, "PORT"},    {"rate", cli::Value, "N"},
    {"wait", cli::Value, "SECONDS"}, {"from", cli::Value, "BACKUP"},
    {"user", cli::Value, "NAME"},
};

int runHandheld(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  if (args.positional.empty()) return usageFail("handheld", "missing list, dump or make");
  const std::string action = args.positional[0];
  if (action == "make") {
    if (args.positional.size() != 2) return usageFail("handheld", "make needs one folder DIR");
    if (!args.hasValue("from")) return usageFail("handheld", "make needs --from BACKUP");
    if (args.has("port") || args.has("listen") || args.hasValue("handheld"))
      return usageFail("handheld", "make takes no --handheld or --port");
    return makeHandheldFromBackup(args.positional[1], args.value("from"), args.value("user"));
  }
  if (args.hasValue("from") || args.hasValue("user")) return usageFail("handheld", "--from and --user are for make");
  const size_t wanted = action == "dump" ? 2 : 1;
  if (action != "list" && action != "dump") return usageFail("handheld", "unknown handheld command " + action);
  if (args.positional.size() != wanted)
    return fail(action == "dump" ? "handheld dump needs one database NAME" : "handheld list takes no argument");
  ChosenPort port;
  bool live = false;
  if (!choosePort(portOptions(args), !args.hasValue("handheld"), &port, &live, &error))
    return usageFail("handheld", error);
  if (args.hasValue("handheld") == live) return usageFail("handheld", action + " needs --handheld DIR or --port PORT");

  ConnectedHandheld handheld;
  if (const int status = handheld.open(live, port, args.value("handheld"), &error); status != kExitOk)
    return fail(error, status);

  if (action == "list") {
    std::vector<DbHeader> all;
    if (!listDatabases(&all, &error)) return fail(error);
    printListHeading(stdout);
    for (const DbHeader& header : all) printListLine(stdout, header);
    return kExitOk;
  }
  DbHeader header;
  std::vector<DbEntry> entries;
  if (!readDatabase(Utf8ToCp1252(args.positional[1]), &header, &entries, &error)) return fail(Cp1252ToUtf8(error));
  printDump(stdout, header, entries);
  return kExitOk;
}

}  // namespace

const Command kHandheldCommand = {
    "handheld",
    "list --handheld DIR | --port PORT [--rate N] [--wait SECONDS]\n"
    "dump --handheld DIR | --port PORT [--rate N] [--wait SECONDS] NAME\n"
    "make DIR --from BACKUP [--user NAME]",
    "the databases on a handheld, one database in full; a handheld made from a backup",
    kHandheldHelp,
    "list dump make",
    kHandheldOptions,
    Words::Some,
    runHandheld,
};

}  // namespace tarvo::host
