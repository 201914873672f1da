// tarvo-hotsync pdb dump FILE: a loose Palm database file, shown as
// `handheld dump` shows one on a handheld.
#include <cstdio>
#include <filesystem>

#include "cli/arguments.h"
#include "host/commands.h"
#include "host/db_view.h"
#include "pdb/pdb.h"

namespace tarvo::host {
namespace {

constexpr const char* kPdbHelp =
    "Shows the header of the Palm database FILE (.pdb or .prc) and every\n"
    "record or resource, its bytes as hex and text.\n";

int runPdb(const CommandLine& line) {
  const cli::Args& args = line.args;
  std::string error;
  if (args.positional.empty() || args.positional[0] != "dump") return usageFail("pdb", "missing dump FILE");
  if (args.positional.size() != 2) return usageFail("pdb", "dump takes one FILE");

  const std::string& file = args.positional[1];
  pdb::Database db;
  try {
    db = pdb::readFile(file).db;
  } catch (const std::exception& e) {
    // The reader names the file itself; say it once, and call a file that
    // could not be opened what it is rather than "not a Palm database".
    std::string detail = e.what();
    if (detail.rfind(file + ": ", 0) == 0) detail.erase(0, file.size() + 2);
    std::error_code ec;
    const bool readable = std::filesystem::is_regular_file(file, ec) && detail.rfind("cannot ", 0) != 0;
    return fail(file + ": " + (readable ? "not a Palm database: " : "") + detail);
  }
  DbHeader header;
  header.name = db.name;
  header.type = db.type;
  header.creator = db.creator;
  header.version = db.version;
  header.attributes = db.attributes;
  header.modificationNumber = db.modificationNumber;
  header.creationDate = db.creationDate;
  header.modificationDate = db.modificationDate;
  header.backupDate = db.backupDate;
  header.resourceDb = db.isResourceDb();
  header.entryCount = static_cast<uint32_t>(header.resourceDb ? db.resources.size() : db.records.size());
  std::vector<DbEntry> entries;
  if (header.resourceDb) {
    appendResourceEntries(db.resources, &entries);
  } else {
    uint32_t index = 0;
    for (const pdb::Record& record : db.records) {
      DbEntry entry;
      entry.index = index++;
      entry.uniqueId = record.uniqueId;
      entry.attributes = record.attributes;
      entry.data = record.data;
      entries.push_back(std::move(entry));
    }
  }
  printDump(stdout, header, entries);
  return kExitOk;
}

}  // namespace

const Command kPdbCommand = {
    "pdb", "dump FILE", "a loose .pdb/.prc file in full", kPdbHelp, "dump", {}, Words::Some, runPdb,
};

}  // namespace tarvo::host
