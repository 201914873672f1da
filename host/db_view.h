// What the host shows of a database, whether it comes from the connected
// handheld or from a loose file, and how it is printed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "pdb/pdb.h"

namespace tarvo::host {

struct DbHeader {
  int card = -1;     // -1: a loose file
  std::string name;  // Windows-1252 bytes, as on the handheld
  uint32_t type = 0;
  uint32_t creator = 0;
  uint16_t version = 0;
  uint16_t attributes = 0;
  uint32_t modificationNumber = 0;
  uint32_t creationDate = 0;  // seconds since 1904
  uint32_t modificationDate = 0;
  uint32_t backupDate = 0;
  uint32_t entryCount = 0;  // records or resources
  bool resourceDb = false;
};

struct DbEntry {
  uint32_t index = 0;
  bool resource = false;
  uint32_t uniqueId = 0;   // records
  uint8_t attributes = 0;  // records: flags and category
  uint32_t resourceType = 0;
  uint16_t resourceId = 0;
  std::vector<uint8_t> data;
  std::string error;  // set when the entry could not be read
};

// The entries of a resource database, its resources moved into them.
void appendResourceEntries(std::vector<pdb::Resource>& resources, std::vector<DbEntry>* entries);

// One line for `handheld list`, with its column heading.
void printListHeading(std::FILE* out);
void printListLine(std::FILE* out, const DbHeader& header);
// The header block and every entry with its bytes as hex and text.
void printDump(std::FILE* out, const DbHeader& header, const std::vector<DbEntry>& entries);

// "2024-05-01 12:00:00" for a Palm date; "never" for 0.
std::string formatPalmDate(uint32_t seconds);

}  // namespace tarvo::host
