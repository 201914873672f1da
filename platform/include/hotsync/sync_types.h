// The Sync Manager's shared records: packed, little-endian, with the byte
// layouts a Windows conduit sees. Callers fill and read only the fields
// they use; every other byte passes through untouched.
#pragma once

#include <cstddef>
#include <cstdint>

// Status codes.
constexpr int32_t SYNCERR_NONE = 0;
constexpr int32_t SYNCERR_UNKNOWN = 0x4001;
constexpr int32_t SYNCERR_MORE = 0x4002;
constexpr int32_t SYNCERR_NOT_FOUND = 0x4003;  // no such card, database or record
constexpr int32_t SYNCERR_FILE_NOT_OPEN = 0x4004;
constexpr int32_t SYNCERR_FILE_OPEN = 0x4005;
constexpr int32_t SYNCERR_READ_ONLY = 0x4009;
constexpr int32_t SYNCERR_NOT_ENOUGH_SPACE = 0x400A;
constexpr int32_t SYNCERR_LIMIT_EXCEEDED = 0x400B;
constexpr int32_t SYNCERR_BAD_ARG = 0x4010;
constexpr int32_t SYNCERR_LOCAL_BUFF_TOO_SMALL = 0x4011;
constexpr int32_t SYNCERR_FILE_BAD = 0x4012;       // the database file does not parse
constexpr int32_t SYNCERR_NOT_CONNECTED = 0x4013;  // no handheld connected

// Open modes of SyncOpenDB (bits).
constexpr uint8_t eDbRead = 0x80;
constexpr uint8_t eDbWrite = 0x40;
constexpr uint8_t eDbExclusive = 0x20;
constexpr uint8_t eDbShowSecret = 0x10;

// SyncReadDBList flag: RAM databases.
constexpr uint32_t DB_LIST_RAM = 1;

#pragma pack(push, 1)

// One entry of a card's database list, 78 bytes.
struct CDbList {
  int32_t m_CardNum;      // 0
  uint16_t m_DbFlags;     // 4  header attributes
  uint32_t m_DbType;      // 6  four characters, first in the high byte
  char m_Name[32];        // 10 zero-terminated
  uint32_t m_Creator;     // 42 four characters, first in the high byte
  uint16_t m_Version;     // 46
  uint32_t m_ModNumber;   // 48
  uint16_t m_Index;       // 52 position in the card's list
  uint32_t m_CreateDate;  // 54 seconds since 1904
  uint32_t m_ModDate;     // 58
  uint32_t m_BackupDate;  // 62
  uint32_t m_MiscFlags;   // 66
  uint32_t m_RecCount;    // 70 records or resources
  uint32_t m_dwReserved;  // 74
};
static_assert(sizeof(CDbList) == 78);
static_assert(offsetof(CDbList, m_DbType) == 6);
static_assert(offsetof(CDbList, m_Name) == 10);
static_assert(offsetof(CDbList, m_Creator) == 42);
static_assert(offsetof(CDbList, m_Version) == 46);

// The record transfer record: 28 bytes on a 32-bit build; the buffer
// pointer takes 8 bytes on a 64-bit build, which makes it 32.
struct RecordInfo {
  uint8_t m_FileHandle;   // 0
  uint32_t m_RecId;       // 1
  uint16_t m_RecIndex;    // 5
  uint8_t m_Attribs;      // 7
  int16_t m_CatId;        // 8
  uint32_t m_ConduitId;   // 10 not used
  uint32_t m_RecSize;     // 14
  uint16_t m_TotalBytes;  // 18 buffer capacity
  uint8_t* m_pBytes;      // 20
  uint32_t m_dwReserved;  // 24 (28 on 64-bit)
};
static_assert(offsetof(RecordInfo, m_RecId) == 1);
static_assert(offsetof(RecordInfo, m_RecIndex) == 5);
static_assert(offsetof(RecordInfo, m_Attribs) == 7);
static_assert(offsetof(RecordInfo, m_CatId) == 8);
static_assert(offsetof(RecordInfo, m_RecSize) == 14);
static_assert(offsetof(RecordInfo, m_TotalBytes) == 18);
static_assert(offsetof(RecordInfo, m_pBytes) == 20);
static_assert(sizeof(RecordInfo) == 24 + sizeof(void*));

// A memory card's description, 93 bytes. The caller puts the card number
// in byte 0.
struct CardInfo {
  uint8_t m_CardNo;         // 0
  uint16_t m_CardVersion;   // 1
  uint32_t m_CreationDate;  // 3
  uint32_t m_RomSize;       // 7
  uint32_t m_RamSize;       // 11
  uint32_t m_FreeRam;       // 15
  uint8_t m_CardNameLen;    // 19
  uint8_t m_ManufNameLen;   // 20
  char m_CardName[32];      // 21
  char m_ManufName[32];     // 53
  uint16_t m_romDbCount;    // 85
  uint16_t m_ramDbCount;    // 87
  uint32_t m_dwReserved;    // 89
};
static_assert(sizeof(CardInfo) == 93);
static_assert(offsetof(CardInfo, m_ramDbCount) == 87);

// The HotSync user of the handheld, 160 bytes.
struct UserInfo {
  char m_pName[128];         // 0 zero-terminated
  int32_t m_NameLength;      // 128
  int32_t m_PasswordLength;  // 132
  uint32_t m_LastSyncDate;   // 136
  uint32_t m_LastSyncPC;     // 140
  uint32_t m_Id;             // 144
  uint32_t m_ViewerId;       // 148
  uint32_t m_dwReserved[2];  // 152
};
static_assert(sizeof(UserInfo) == 160);
static_assert(offsetof(UserInfo, m_Id) == 144);

// The open database's list entry followed by its record count.
struct OpenDbInfo {
  CDbList m_DbInfo;     // 0
  uint32_t m_RecCount;  // 78
};
static_assert(sizeof(OpenDbInfo) == 82);
static_assert(offsetof(OpenDbInfo, m_RecCount) == 78);

// The request of SyncReadOpenDbInfo: 0xC0 then the handle.
struct OpenDbInfoRequest {
  uint8_t m_Kind;
  uint8_t m_FileHandle;
};
static_assert(sizeof(OpenDbInfoRequest) == 2);

// The handheld's clock.
struct SysDateTime {
  uint16_t m_Year;
  uint8_t m_Month;  // 1..12
  uint8_t m_Day;    // 1..31
  uint8_t m_Hour;
  uint8_t m_Minute;
  uint8_t m_Second;
  uint8_t m_Reserved;
};
static_assert(sizeof(SysDateTime) == 8);

#pragma pack(pop)
