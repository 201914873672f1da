// Module discovery: every database of creator 'Tarv' on the handheld is a
// module; its last record may hold the parameter block naming its server.
#include <cstring>

#include "engine/engine_text.h"
#include "engine/tarvo_conduit.h"
#include "handheld/mobile_device_sync.h"
#include "handheld/platform_services.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

using tarvo::engine::FieldText;
using tarvo::engine::TrimRight;

namespace {

// A handheld that never answers "no such card" must not keep the scan going.
constexpr int kMaxCardNumbers = 64;
constexpr const char* kParameterMarker = "ZembraParameterBlock|";

}  // namespace

int32_t CTarvoConduit::GetModules() {
  TarvoTrace("CTarvoConduit::GetModules()");
  int32_t total = 0;
  m_cardCount = 0;
  for (int card = 0; card < kMaxCardNumbers; ++card) {
    CardInfo info{};
    info.m_CardNo = static_cast<uint8_t>(card);
    const int32_t rc = g_pMobileDeviceSync->ReadSingleCardInfo(info);
    if (rc == SYNCERR_NOT_FOUND) break;
    if (rc == SYNCERR_NONE) {
      total += info.m_ramDbCount;
      m_cardDbCount = info.m_ramDbCount;
    }
    m_cardCount = card + 1;
    g_pMobileDeviceSync->YieldCycles(10);
    m_dlgprg->CheckCancel();
  }
  if (total == 0) return 0;

  m_dlgprg->m_task = RCString(tarvo::res::kCheckingModules).str();
  m_dlgprg->m_status.clear();
  m_dlgprg->Refresh();

  m_dbCount = total;
  dblist.reset();
  dblist = std::make_unique<CDbList[]>(static_cast<std::size_t>(m_dbCount));

  const uint32_t creator = tarvo::handheld::CreatorIdFromText("Tarv");

  int32_t found = 0;
  int offset = 0;
  int remaining = m_dbCount;
  for (int card = 0; card < m_cardCount; ++card) {
    int count = remaining;
    const int32_t rc =
        g_pMobileDeviceSync->ReadDBList(static_cast<uint8_t>(card), 0, DB_LIST_RAM, dblist.get() + offset, count);
    // A failed read contributes nothing, and no answer may claim more room
    // than it was given.
    if (rc != SYNCERR_NONE || count < 0) count = 0;
    if (count > remaining) count = remaining;
    remaining -= count;
    g_pMobileDeviceSync->YieldCycles(20);
    m_dlgprg->CheckCancel();

    for (int i = 0; i < count && !m_dlgprg->m_cancel; ++i) {
      CDbList& entry = dblist[static_cast<std::size_t>(offset + i)];
      if (entry.m_Creator != creator) continue;
      entry.m_CardNum = card;
      std::string block = " ";
      ReadModuleParameters(entry, block);

      CTarvoModule module;
      module.sParam = TrimRight(block);
      module.sName = TrimRight(FieldText(entry.m_Name, sizeof entry.m_Name));
      module.sDbtype = TrimRight(tarvo::handheld::CreatorIdText(entry.m_DbType));
      module.sVersion = std::to_string(entry.m_Version);
      module.sCaption = module.GetSyncCaption();
      module.dbIndex = offset + i;

      m_dlgprg->m_task = RCString(tarvo::res::kCheckingModules).str();
      m_dlgprg->m_status = module.sName;
      m_dlgprg->SetStep(module.dbIndex, m_dbCount);
      m_dlgprg->Refresh();

      m_modules.push_back(module);
      ++found;
      g_pMobileDeviceSync->YieldCycles(1);
    }
    offset += count;
  }
  return found;
}

void CTarvoConduit::ReadModuleParameters(CDbList& item, std::string& block) {
  TarvoTrace("CTarvoConduit::ReadModuleParameters(CDbList& item, CString& block)");
  const std::string name = FieldText(item.m_Name, sizeof item.m_Name);
  uint8_t handle = 0;
  if (g_pMobileDeviceSync->OpenDB(name.c_str(), item.m_CardNum, handle, kOpenReadOnly) != SYNCERR_NONE) {
    return;
  }
  uint8_t* buffer = m_recordBuffer.get();
  std::memset(buffer, 0, kRecordBufferSize);
  uint16_t count = 0;
  g_pMobileDeviceSync->GetDBRecordCount(handle, count);

  RecordInfo record{};
  record.m_FileHandle = handle;
  record.m_RecIndex = static_cast<uint16_t>(count - 1);
  record.m_RecSize = 0;
  record.m_TotalBytes = static_cast<uint16_t>(kRecordBufferSize);
  record.m_pBytes = buffer;
  record.m_dwReserved = 0;
  const bool read = g_pMobileDeviceSync->ReadRecordByIndex(record) == SYNCERR_NONE;

  // After the record's 4-byte header. A record that fills the whole buffer
  // has no terminating zero, so the text stops at the buffer's end.
  const std::size_t skip = read ? 4 : 0;
  const char* text = reinterpret_cast<const char*>(buffer) + skip;
  const std::string parameters(text, strnlen(text, kRecordBufferSize - skip));
  if (parameters.find(kParameterMarker) != std::string::npos) block = parameters;

  g_pMobileDeviceSync->CloseDB(handle);
}
