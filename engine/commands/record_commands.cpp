// The record commands: rput writes one record, rdel deletes one, rget is
// accepted and does nothing. None of them answers the server.
#include <algorithm>
#include <climits>
#include <memory>

#include "engine/commands/command_values.h"
#include "engine/tarvo_conduit.h"
#include "handheld/mobile_device_sync.h"
#include "http/url_encoding.h"
#include "resources/trace.h"

using tarvo::engine::LeadingInt32;

void CTarvoConduit::RunCommanRPut(std::string cmd) {
  TarvoTrace("CTarvoConduit::RunCommanRPut(CString cmd)");
  const std::string db = GetAttribute(cmd, "db", "");
  const int32_t cardNo = LeadingInt32(GetAttribute(cmd, "cardno", ""));
  const int32_t id = LeadingInt32(GetAttribute(cmd, "id", ""));
  const std::string data = GetAttribute(cmd, "data", "");

  uint8_t handle = 0;
  if (g_pMobileDeviceSync->OpenDB(db.c_str(), cardNo, handle, kOpenReadWrite) != SYNCERR_NONE) return;

  // Decoding never produces more bytes than the text has characters.
  const std::size_t capacity = std::min<std::size_t>(data.size(), INT32_MAX);
  const auto buffer = std::make_unique<uint8_t[]>(capacity);
  const int32_t size = FullURLEdcode(data, buffer.get(), static_cast<int32_t>(capacity));
  if (size < 1) {
    TarvoTrace("FullURLEdcode() returned:  %d", size);
  } else if (static_cast<uint32_t>(size) > kRecordBufferSize) {
    // No record is longer than the record buffer; the handheld could not
    // hand it back to a pget.
    TarvoTrace("Record of %d bytes refused.", size);
  } else {
    RecordInfo record{};
    record.m_FileHandle = handle;
    record.m_RecId = static_cast<uint32_t>(id);
    record.m_Attribs = 0;
    record.m_CatId = 0;
    record.m_RecSize = static_cast<uint32_t>(size);
    record.m_pBytes = buffer.get();
    record.m_dwReserved = 0;
    g_pMobileDeviceSync->WriteRecord(record);
  }
  g_pMobileDeviceSync->CloseDB(handle);
}

void CTarvoConduit::RunCommandRGet(std::string, std::string, CTarvoServer) {
  TarvoTrace("CTarvoConduit::RunCommandRGet(CString cmd, CString SyncSrv, CTarvoServer ActualServer)");
}

void CTarvoConduit::RunCommanRDel(std::string cmd) {
  TarvoTrace("CTarvoConduit::RunCommanRDel(CString cmd)");
  const std::string db = GetAttribute(cmd, "db", "");
  const int32_t cardNo = LeadingInt32(GetAttribute(cmd, "cardno", ""));
  const int32_t id = LeadingInt32(GetAttribute(cmd, "id", ""));

  uint8_t handle = 0;
  if (g_pMobileDeviceSync->OpenDB(db.c_str(), cardNo, handle, kOpenReadWrite) != SYNCERR_NONE) return;
  RecordInfo record{};
  record.m_FileHandle = handle;
  record.m_RecId = static_cast<uint32_t>(id);
  record.m_dwReserved = 0;
  if (g_pMobileDeviceSync->DeleteRecord(record) == SYNCERR_NONE) g_pMobileDeviceSync->PurgeDeletedRecords(handle);
  g_pMobileDeviceSync->ResetSyncFlags(handle);
  g_pMobileDeviceSync->CloseDB(handle);
}
