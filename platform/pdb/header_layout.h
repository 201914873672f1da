// Byte offsets of the fields of the 78-byte database header.
#pragma once

#include <cstddef>

namespace pdb::detail {

constexpr std::size_t kOffName = 0;
constexpr std::size_t kOffAttributes = 32;
constexpr std::size_t kOffVersion = 34;
constexpr std::size_t kOffCreationDate = 36;
constexpr std::size_t kOffModificationDate = 40;
constexpr std::size_t kOffBackupDate = 44;
constexpr std::size_t kOffModificationNumber = 48;
constexpr std::size_t kOffAppInfo = 52;
constexpr std::size_t kOffSortInfo = 56;
constexpr std::size_t kOffType = 60;
constexpr std::size_t kOffCreator = 64;
constexpr std::size_t kOffUniqueIdSeed = 68;
constexpr std::size_t kOffNextRecordList = 72;
constexpr std::size_t kOffEntryCount = 76;

// Palm writes two zero bytes between the entry list and the first block.
constexpr std::size_t kListPadSize = 2;

}  // namespace pdb::detail
