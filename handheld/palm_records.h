// The packed records that cross the handheld interface. They are the Sync
// Manager's own; the checks below pin the offsets the conduit relies on.
#pragma once

#include <cstddef>

#include "hotsync/sync_types.h"

static_assert(sizeof(CDbList) == 78);
static_assert(offsetof(CDbList, m_CardNum) == 0);
static_assert(offsetof(CDbList, m_DbType) == 6);
static_assert(offsetof(CDbList, m_Name) == 10);
static_assert(offsetof(CDbList, m_Creator) == 42);
static_assert(offsetof(CDbList, m_Version) == 46);
static_assert(sizeof(RecordInfo) == (sizeof(void*) == 4 ? 28 : 32));
static_assert(offsetof(RecordInfo, m_RecSize) == 14);
static_assert(offsetof(RecordInfo, m_pBytes) == 20);
static_assert(sizeof(CardInfo) == 93);
static_assert(offsetof(CardInfo, m_ramDbCount) == 87);
static_assert(sizeof(UserInfo) == 160);
static_assert(offsetof(UserInfo, m_Id) == 144);
static_assert(offsetof(OpenDbInfo, m_RecCount) == 78);

// Open modes the conduit passes.
constexpr uint8_t kOpenReadOnly = 0x90;   // read, secret records shown
constexpr uint8_t kOpenReadWrite = 0xD0;  // read, write, secret records shown
