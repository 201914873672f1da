// The module list a server receives with the list command: the handheld
// application's version, the data modules with their parameter blocks, and
// the other databases of the server (with their records when their type
// begins with 's').
#include <cstring>

#include "engine/engine_text.h"
#include "engine/tarvo_conduit.h"
#include "handheld/mobile_device_sync.h"
#include "handheld/platform_services.h"
#include "http/url_encoding.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

using tarvo::engine::FieldText;
using tarvo::engine::TrimRight;

namespace {

// The encoder's length 0 means "up to the first zero", so an empty text
// must not reach it as one.
std::string Encode(const std::string& text) {
  if (text.empty()) return {};
  return FullURLEncode(text.data(), static_cast<int32_t>(text.size()));
}

}  // namespace

std::string CTarvoConduit::OpenUnknownDatabase(CDbList& item) {
  TarvoTrace("CTarvoConduit::OpenUnknownDatabase(CDbList& item)");
  const std::string name = FieldText(item.m_Name, sizeof item.m_Name);
  uint8_t handle = 0;
  if (g_pMobileDeviceSync->OpenDB(name.c_str(), item.m_CardNum, handle, kOpenReadOnly) != SYNCERR_NONE) {
    return {};
  }
  uint16_t count = 0;
  g_pMobileDeviceSync->GetDBRecordCount(handle, count);

  const std::string encodedName = Encode(name);
  const std::string type = tarvo::handheld::CreatorIdText(item.m_DbType);

  std::string result = "&unknowndbname=" + encodedName + "&unknowndbtype=" + type;
  if (!type.empty() && type[0] == 's') {
    uint8_t* buffer = m_recordBuffer.get();
    for (uint16_t index = 0; index < count; ++index) {
      std::memset(buffer, 0, kRecordBufferSize);
      RecordInfo record{};
      record.m_FileHandle = handle;
      record.m_RecIndex = index;
      record.m_RecSize = 0;
      record.m_TotalBytes = static_cast<uint16_t>(kRecordBufferSize);
      record.m_pBytes = buffer;
      if (g_pMobileDeviceSync->ReadRecordByIndex(record) != SYNCERR_NONE) continue;
      if (record.m_RecSize == 0 || record.m_RecSize > kRecordBufferSize) continue;
      // The record's last byte is not sent; a one-byte record becomes the
      // encoder's "up to the first zero" of the buffer.
      result += "&" + encodedName + "_record=" + FullURLEncode(buffer, static_cast<int32_t>(record.m_RecSize - 1));
      result += "&" + encodedName + "_record_id=" + std::to_string(static_cast<int32_t>(record.m_RecId));
    }
  }
  g_pMobileDeviceSync->CloseDB(handle);
  return result;
}

std::string CTarvoConduit::PackDBList(CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::PackDBList(CTarvoServer ActualServer)");
  std::string version = "zembra=";
  for (const CTarvoModule& module : m_modules) {
    if (module.sDbtype == "appl") version = "zembra=" + module.sVersion;
  }

  std::string dataPieces;
  std::string otherPieces;
  for (const CTarvoModule& module : ActualServer.modules) {
    if (module.sDbtype == "appl") continue;
    if (module.sDbtype == "DATA") {
      m_dlgprg->m_status = TrimRight(module.sName);
      m_dlgprg->Refresh();
      dataPieces += "&modulo=" + Encode(module.sName) + "&param=" + Encode(module.sParam);
    } else if (dblist && module.dbIndex >= 0 && module.dbIndex < m_dbCount) {
      otherPieces += OpenUnknownDatabase(dblist[static_cast<std::size_t>(module.dbIndex)]);
    }
  }
  return version + dataPieces + otherPieces;
}
