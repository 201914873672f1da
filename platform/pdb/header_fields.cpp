// Fields of a database header read or changed without parsing the file.
#include "pdb/big_endian.h"
#include "pdb/header_layout.h"
#include "pdb/pdb.h"

namespace pdb {

HeaderBounds headerBounds(std::span<const uint8_t, kHeaderSize> header) {
  const bool resources = (detail::readU16(header, detail::kOffAttributes) & kAttrResourceDb) != 0;
  const uint16_t count = detail::readU16(header, detail::kOffEntryCount);
  // Every block (app info, sort info, each entry) is under 64 KiB.
  const uint64_t most = kHeaderSize + uint64_t{count} * (resources ? kResourceEntrySize : kRecordEntrySize) +
                        detail::kListPadSize + (uint64_t{count} + 2) * 0x10000;
  return HeaderBounds{count, most};
}

HeaderPatch backupDatePatch(uint32_t date) {
  std::vector<uint8_t> bytes;
  detail::putU32(bytes, date);
  return HeaderPatch{detail::kOffBackupDate, {bytes[0], bytes[1], bytes[2], bytes[3]}};
}

}  // namespace pdb
