// tarvo-hotsync handheld list|dump: what a simulated handheld holds, read
// through the Sync Manager.
#include <cstdio>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/handheld_reader.h"
#include "host/listen.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

constexpr const char* kHelp =
    "usage: tarvo-hotsync handheld list --handheld DIR | --listen[=ADDR[:PORT]]\n"
    "       tarvo-hotsync handheld dump --handheld DIR | --listen[=ADDR[:PORT]] NAME\n"
    "\n"
    "--listen waits for a handheld's network HotSync (default 127.0.0.1:14238)\n"
    "and reads the live handheld instead of a folder.\n"
    "list: one line per database: card, name, type, creator, version, records.\n"
    "dump: the header of database NAME and every record, its bytes as hex and text.\n";

constexpr cli::Option kOptions[] = {
    {"handheld", cli::Value, "DIR"},
    {"listen", cli::OptionalValue, "ADDR[:PORT]"},
};

}  // namespace

std::span<const cli::Option> handheldOptions() { return kOptions; }

int commandHandheld(int argc, char** argv) {
  cli::Args args;
  std::string error;
  if (!cli::parse(argc, argv, 1, kOptions, &args, &error)) return usageFail("handheld", error);
  const bool listen = args.has("listen");
  const std::string address = args.value("listen");
  if (args.has("help")) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (args.positional.empty()) return usageFail("handheld", "missing list or dump");
  const std::string action = args.positional[0];
  const size_t wanted = action == "dump" ? 2 : 1;
  if (action != "list" && action != "dump") return usageFail("handheld", "unknown handheld command " + action);
  if (args.positional.size() != wanted)
    return fail(action == "dump" ? "handheld dump needs one database NAME" : "handheld list takes no argument");
  if (args.hasValue("handheld") == listen) return usageFail("handheld", action + " needs --handheld DIR or --listen");

  ConnectedHandheld handheld;
  if (!(listen ? handheld.listen(address, &error) : handheld.connect(args.value("handheld"), &error)))
    return fail(error);

  if (action == "list") {
    printListHeading(stdout);
    for (const DbHeader& header : listDatabases()) printListLine(stdout, header);
    return kExitOk;
  }
  DbHeader header;
  std::vector<DbEntry> entries;
  if (!readDatabase(Utf8ToCp1252(args.positional[1]), &header, &entries, &error)) return fail(Cp1252ToUtf8(error));
  printDump(stdout, header, entries);
  return kExitOk;
}

}  // namespace tarvo::host
