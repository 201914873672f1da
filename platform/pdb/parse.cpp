// Reads a database image. Every offset is checked against the image before
// anything is copied, so a damaged or hostile file is refused with one line
// of explanation and is never read past its end.
#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "big_endian.h"
#include "header_layout.h"
#include "pdb/pdb.h"

namespace pdb {
namespace {

using detail::readU16;
using detail::readU24;
using detail::readU32;

[[noreturn]] void fail(const std::string& what) { throw FormatError(what); }

std::string num(uint64_t v) { return std::to_string(v); }

struct Entry {
  uint32_t offset = 0;
  uint8_t attributes = 0;  // records
  uint32_t uniqueId = 0;   // records
  uint32_t type = 0;       // resources
  uint16_t id = 0;         // resources
};

std::string readName(std::span<const uint8_t> b) {
  const uint8_t* begin = b.data() + detail::kOffName;
  const void* zero = std::memchr(begin, 0, kNameSize);
  if (zero == nullptr) fail("database name has no terminating zero within its 32 bytes");
  return std::string(reinterpret_cast<const char*>(begin),
                     static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - begin));
}

std::vector<Entry> readEntries(std::span<const uint8_t> b, std::size_t fileSize, bool resources, std::size_t count) {
  const std::size_t entrySize = resources ? kResourceEntrySize : kRecordEntrySize;
  const char* kind = resources ? "resource" : "record";
  const std::size_t listEnd = kHeaderSize + count * entrySize;
  if (listEnd > fileSize) {
    fail(std::string(kind) + " list of " + num(count) + " entries needs " + num(listEnd) + " bytes but the file has " +
         num(fileSize));
  }
  std::vector<Entry> entries(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = kHeaderSize + i * entrySize;
    Entry& e = entries[i];
    if (resources) {
      e.type = readU32(b, at);
      e.id = readU16(b, at + 4);
      e.offset = readU32(b, at + 6);
    } else {
      e.offset = readU32(b, at);
      e.attributes = b[at + 4];
      e.uniqueId = readU24(b, at + 5);
    }
    if (e.offset < listEnd) {
      fail(std::string(kind) + " " + num(i) + " offset " + num(e.offset) +
           " lies inside the header or entry list (ends at " + num(listEnd) + ")");
    }
    if (e.offset > fileSize) {
      fail(std::string(kind) + " " + num(i) + " offset " + num(e.offset) + " is past the end of the file (" +
           num(fileSize) + " bytes)");
    }
    if (i > 0 && e.offset < entries[i - 1].offset) {
      fail(std::string(kind) + " " + num(i) + " offset " + num(e.offset) + " comes before entry " + num(i - 1) +
           " offset " + num(entries[i - 1].offset));
    }
  }
  return entries;
}

// App info and sort info must lie after the list, inside the file, and not
// share a start with any other block (their length would be ambiguous).
void checkBlockOffset(const char* what, uint32_t offset, std::size_t listEnd, std::size_t size,
                      const std::vector<Entry>& entries) {
  if (offset == 0) return;
  if (offset < listEnd) {
    fail(std::string(what) + " offset " + num(offset) + " lies inside the header or entry list (ends at " +
         num(listEnd) + ")");
  }
  if (offset > size) {
    fail(std::string(what) + " offset " + num(offset) + " is past the end of the file (" + num(size) + " bytes)");
  }
  auto same =
      std::lower_bound(entries.begin(), entries.end(), offset, [](const Entry& e, uint32_t v) { return e.offset < v; });
  if (same != entries.end() && same->offset == offset) {
    fail(std::string(what) + " offset " + num(offset) + " is also the offset of entry " +
         num(static_cast<std::size_t>(same - entries.begin())));
  }
}

}  // namespace

std::size_t layoutSize(std::span<const uint8_t> header) {
  if (header.size() < kHeaderSize) return kHeaderSize;
  const bool resources = (readU16(header, detail::kOffAttributes) & kAttrResourceDb) != 0;
  return kHeaderSize + readU16(header, detail::kOffEntryCount) * (resources ? kResourceEntrySize : kRecordEntrySize);
}

Layout parseLayout(std::span<const uint8_t> b, std::size_t fileSize) {
  if (fileSize < kHeaderSize) {
    fail("file is " + num(fileSize) + " bytes, shorter than the 78-byte header");
  }
  if (fileSize > std::numeric_limits<uint32_t>::max()) fail("file is larger than 4 GiB");

  Layout layout;
  Database& db = layout.header;
  db.name = readName(b);
  db.attributes = readU16(b, detail::kOffAttributes);
  db.version = readU16(b, detail::kOffVersion);
  db.creationDate = readU32(b, detail::kOffCreationDate);
  db.modificationDate = readU32(b, detail::kOffModificationDate);
  db.backupDate = readU32(b, detail::kOffBackupDate);
  db.modificationNumber = readU32(b, detail::kOffModificationNumber);
  const uint32_t appInfo = readU32(b, detail::kOffAppInfo);
  const uint32_t sortInfo = readU32(b, detail::kOffSortInfo);
  db.type = readU32(b, detail::kOffType);
  db.creator = readU32(b, detail::kOffCreator);
  db.uniqueIdSeed = readU32(b, detail::kOffUniqueIdSeed);
  const uint32_t nextList = readU32(b, detail::kOffNextRecordList);
  if (nextList != 0) fail("chained entry list (next list id " + num(nextList) + ") is not supported");

  const bool resources = db.isResourceDb();
  const std::size_t count = readU16(b, detail::kOffEntryCount);
  const std::vector<Entry> entries = readEntries(b, fileSize, resources, count);
  const std::size_t listEnd = kHeaderSize + count * (resources ? kResourceEntrySize : kRecordEntrySize);

  checkBlockOffset("app info", appInfo, listEnd, fileSize, entries);
  checkBlockOffset("sort info", sortInfo, listEnd, fileSize, entries);
  if (appInfo != 0 && appInfo == sortInfo) fail("app info and sort info share offset " + num(appInfo));

  // A block runs up to the next block that starts after it, or to the end
  // of the file; an entry also stops where the next entry starts, which
  // makes entries sharing an offset empty.
  const auto nextBlockStart = [&](uint32_t start) -> std::size_t {
    std::size_t end = fileSize;
    for (uint32_t other : {appInfo, sortInfo}) {
      if (other > start) end = std::min<std::size_t>(end, other);
    }
    auto after = std::upper_bound(entries.begin(), entries.end(), start,
                                  [](uint32_t v, const Entry& e) { return v < e.offset; });
    if (after != entries.end()) end = std::min<std::size_t>(end, after->offset);
    return end;
  };
  if (appInfo != 0) layout.appInfo = {appInfo, nextBlockStart(appInfo)};
  if (sortInfo != 0) layout.sortInfo = {sortInfo, nextBlockStart(sortInfo)};

  layout.entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const Entry& e = entries[i];
    // The list is in offset order, so the next entry's start is never later
    // than the next block's: no search is needed but for the info blocks.
    std::size_t end = i + 1 < count ? entries[i + 1].offset : fileSize;
    for (uint32_t other : {appInfo, sortInfo}) {
      if (other > e.offset) end = std::min<std::size_t>(end, other);
    }
    layout.entries.push_back(Layout::Entry{{e.offset, end}, e.attributes, e.uniqueId, e.type, e.id});
  }
  return layout;
}

Database fill(Layout layout, const std::function<std::vector<uint8_t>(Layout::Range)>& read) {
  Database db = std::move(layout.header);
  if (layout.appInfo) db.appInfo = read(*layout.appInfo);
  if (layout.sortInfo) db.sortInfo = read(*layout.sortInfo);
  if (db.isResourceDb()) {
    db.resources.reserve(layout.entries.size());
    for (const Layout::Entry& e : layout.entries) db.resources.push_back(Resource{e.type, e.id, read(e.range)});
  } else {
    db.records.reserve(layout.entries.size());
    for (const Layout::Entry& e : layout.entries) {
      db.records.push_back(Record{e.attributes, e.uniqueId, read(e.range)});
    }
  }
  return db;
}

Database parse(std::span<const uint8_t> b) {
  return fill(parseLayout(b, b.size()), [&](Layout::Range r) {
    return std::vector<uint8_t>(b.begin() + static_cast<std::ptrdiff_t>(r.from),
                                b.begin() + static_cast<std::ptrdiff_t>(r.to));
  });
}

}  // namespace pdb
