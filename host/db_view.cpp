#include "host/db_view.h"

#include <ctime>

#include "pdb/four_cc.h"
#include "pdb/palm_clock.h"
#include "text/cp1252.h"

namespace tarvo::host {
namespace {

std::string recordFlags(uint8_t attributes) {
  std::string text;
  const auto add = [&](uint8_t bit, const char* name) {
    if ((attributes & bit) == 0) return;
    if (!text.empty()) text += ',';
    text += name;
  };
  add(0x80, "deleted");
  add(0x40, "dirty");
  add(0x20, "busy");
  add(0x10, "secret");
  return text.empty() ? "-" : text;
}

std::string headerFlags(uint16_t attributes) {
  std::string text;
  const auto add = [&](uint16_t bit, const char* name) {
    if ((attributes & bit) == 0) return;
    if (!text.empty()) text += ',';
    text += name;
  };
  add(0x0001, "resource");
  add(0x0002, "read-only");
  add(0x0004, "appinfo-dirty");
  add(0x0008, "backup");
  return text.empty() ? "-" : text;
}

// One byte of the text column: the Windows-1252 character in UTF-8, or '.'
// for control characters, blanks other than space and undefined bytes.
std::string printableChar(uint8_t c) {
  if (c >= 0x20 && c < 0x7F) return std::string(1, static_cast<char>(c));
  if (c < 0x80 || c == 0xA0 || c == 0xAD || IsUndefinedCp1252(c)) return ".";
  return Cp1252ToUtf8(std::string(1, static_cast<char>(c)));
}

void printBytes(std::FILE* out, const std::vector<uint8_t>& data) {
  for (size_t row = 0; row < data.size(); row += 16) {
    std::fprintf(out, "    %04zx ", row);
    std::string text;
    for (size_t i = row; i < row + 16; ++i) {
      if (i < data.size()) {
        std::fprintf(out, " %02x", data[i]);
        text += printableChar(data[i]);
      } else {
        std::fputs("   ", out);
      }
    }
    std::fprintf(out, "  %s\n", text.c_str());
  }
}

}  // namespace

std::string formatPalmDate(uint32_t seconds) {
  if (seconds == 0) return "never";
  const std::tm tm = pdb::wallClockFromPalmSeconds(seconds);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &tm);
  return buffer;
}

void printListHeading(std::FILE* out) {
  std::fprintf(out, "%-4s  %-31s  %-4s  %-7s  %7s  %7s\n", "card", "name", "type", "creator", "version", "records");
}

void printListLine(std::FILE* out, const DbHeader& header) {
  std::fprintf(out, "%-4d  %-31s  %-4s  %-7s  %7u  %7u\n", header.card, Cp1252ToUtf8(header.name).c_str(),
               pdb::fourCCShown(header.type).c_str(), pdb::fourCCShown(header.creator).c_str(), header.version,
               header.entryCount);
}

void printDump(std::FILE* out, const DbHeader& header, const std::vector<DbEntry>& entries) {
  std::fprintf(out, "name:          %s\n", Cp1252ToUtf8(header.name).c_str());
  if (header.card >= 0) std::fprintf(out, "card:          %d\n", header.card);
  std::fprintf(out, "type:          %s\n", pdb::fourCCShown(header.type).c_str());
  std::fprintf(out, "creator:       %s\n", pdb::fourCCShown(header.creator).c_str());
  std::fprintf(out, "version:       %u\n", header.version);
  std::fprintf(out, "attributes:    0x%04x %s\n", header.attributes, headerFlags(header.attributes).c_str());
  std::fprintf(out, "modification:  %u\n", header.modificationNumber);
  std::fprintf(out, "created:       %s\n", formatPalmDate(header.creationDate).c_str());
  std::fprintf(out, "modified:      %s\n", formatPalmDate(header.modificationDate).c_str());
  std::fprintf(out, "backed up:     %s\n", formatPalmDate(header.backupDate).c_str());
  std::fprintf(out, "%s %u\n", header.resourceDb ? "resources:    " : "records:      ", header.entryCount);
  for (const DbEntry& entry : entries) {
    if (entry.resource) {
      std::fprintf(out, "resource %u: type %s id %u size %zu\n", entry.index,
                   pdb::fourCCShown(entry.resourceType).c_str(), entry.resourceId, entry.data.size());
    } else {
      std::fprintf(out, "record %u: id %u attributes 0x%02x %s category %u size %zu\n", entry.index, entry.uniqueId,
                   entry.attributes, recordFlags(entry.attributes).c_str(), entry.attributes & 0x0Fu,
                   entry.data.size());
    }
    if (!entry.error.empty()) {
      std::fprintf(out, "    (%s)\n", entry.error.c_str());
      continue;
    }
    printBytes(out, entry.data);
  }
}

void appendResourceEntries(std::vector<pdb::Resource>& resources, std::vector<DbEntry>* entries) {
  uint32_t index = 0;
  for (pdb::Resource& resource : resources) {
    DbEntry entry;
    entry.index = index++;
    entry.resource = true;
    entry.resourceType = resource.type;
    entry.resourceId = resource.id;
    entry.data = std::move(resource.data);
    entries->push_back(std::move(entry));
  }
}

}  // namespace tarvo::host
