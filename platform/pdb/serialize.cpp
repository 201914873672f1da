// Writes a database in the layout Palm OS itself uses: header, entry list,
// two zero pad bytes, app info, sort info, then the entries' data in list
// order. Anything the layout cannot hold is refused rather than truncated.
#include <functional>
#include <limits>
#include <string>

#include "big_endian.h"
#include "header_layout.h"
#include "pdb/pdb.h"

namespace pdb {
namespace {

using detail::putU16;
using detail::putU24;
using detail::putU32;
using detail::putU8;

[[noreturn]] void refuse(const std::string& what) { throw FormatError(what); }

void checkRepresentable(const Database& db) {
  if (db.name.size() >= kNameSize) {
    refuse("database name is " + std::to_string(db.name.size()) + " bytes, at most 31 fit");
  }
  if (db.name.find('\0') != std::string::npos) refuse("database name holds a zero byte");
  const bool resources = db.isResourceDb();
  if (resources && !db.records.empty()) refuse("resource database holds records");
  if (!resources && !db.resources.empty()) refuse("record database holds resources");
  const std::size_t count = resources ? db.resources.size() : db.records.size();
  if (count > std::numeric_limits<uint16_t>::max()) {
    refuse(std::to_string(count) + " entries, at most 65535 fit");
  }
  for (std::size_t i = 0; i < db.records.size(); ++i) {
    if (db.records[i].uniqueId > kMaxUniqueId) {
      refuse("record " + std::to_string(i) + " unique id " + std::to_string(db.records[i].uniqueId) +
             " does not fit in 24 bits");
    }
  }
}

}  // namespace

std::vector<uint8_t> serializeHead(const Database& db, uint64_t* imageSize) {
  checkRepresentable(db);
  const bool resources = db.isResourceDb();
  const std::size_t count = resources ? db.resources.size() : db.records.size();
  const std::size_t listEnd = kHeaderSize + count * (resources ? kResourceEntrySize : kRecordEntrySize);

  uint64_t total = listEnd + detail::kListPadSize + db.appInfo.size() + db.sortInfo.size();
  for (const Record& r : db.records) total += r.data.size();
  for (const Resource& r : db.resources) total += r.data.size();
  if (total > std::numeric_limits<uint32_t>::max()) refuse("database would be larger than 4 GiB");

  uint32_t next = static_cast<uint32_t>(listEnd + detail::kListPadSize);
  const auto place = [&next](std::size_t size) {
    const uint32_t at = next;
    next += static_cast<uint32_t>(size);
    return at;
  };
  const uint32_t appInfo = db.appInfo.empty() ? 0 : place(db.appInfo.size());
  const uint32_t sortInfo = db.sortInfo.empty() ? 0 : place(db.sortInfo.size());

  if (imageSize) *imageSize = total;
  std::vector<uint8_t> out;
  out.reserve(listEnd + detail::kListPadSize);
  out.insert(out.end(), db.name.begin(), db.name.end());
  out.resize(kNameSize, 0);
  putU16(out, db.attributes);
  putU16(out, db.version);
  putU32(out, db.creationDate);
  putU32(out, db.modificationDate);
  putU32(out, db.backupDate);
  putU32(out, db.modificationNumber);
  putU32(out, appInfo);
  putU32(out, sortInfo);
  putU32(out, db.type);
  putU32(out, db.creator);
  putU32(out, db.uniqueIdSeed);
  putU32(out, 0);  // no chained list
  putU16(out, static_cast<uint16_t>(count));

  for (const Record& r : db.records) {
    putU32(out, place(r.data.size()));
    putU8(out, r.attributes);
    putU24(out, r.uniqueId);
  }
  for (const Resource& r : db.resources) {
    putU32(out, r.type);
    putU16(out, r.id);
    putU32(out, place(r.data.size()));
  }
  out.resize(out.size() + detail::kListPadSize, 0);
  return out;
}

void forEachBlock(const Database& db, const std::function<void(const std::vector<uint8_t>&)>& take) {
  take(db.appInfo);
  take(db.sortInfo);
  for (const Record& r : db.records) take(r.data);
  for (const Resource& r : db.resources) take(r.data);
}

std::vector<uint8_t> serialize(const Database& db) {
  uint64_t total = 0;
  std::vector<uint8_t> out = serializeHead(db, &total);
  out.reserve(static_cast<std::size_t>(total));
  forEachBlock(db, [&out](const std::vector<uint8_t>& block) { out.insert(out.end(), block.begin(), block.end()); });
  return out;
}

}  // namespace pdb
