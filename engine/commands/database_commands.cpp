// The database commands: pput queues a downloaded database for the handheld,
// pdel deletes one, pget uploads one to the server and runs its answer.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>

#include "engine/commands/command_values.h"
#include "engine/engine_text.h"
#include "engine/tarvo_conduit.h"
#include "handheld/mobile_device_sync.h"
#include "handheld/platform_services.h"
#include "http/url_encoding.h"
#include "resources/rcstring.h"
#include "resources/trace.h"
#include "ui/progress/conduit_progress.h"

using tarvo::engine::FieldText;

namespace {

constexpr std::size_t kDbNameSize = 32;
constexpr uint8_t kOpenDbInfoKind = 0xC0;
// Record indexes are 16 bits wide.
constexpr uint32_t kMaxRecordIndexes = 0x10000;

// The name in the first 32 bytes of a database file, up to its first zero;
// empty when the file is shorter or cannot be read.
std::string DatabaseNameOfFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  char header[kDbNameSize] = {};
  if (!file.read(header, sizeof header)) return {};
  return FieldText(header, sizeof header);
}

// Blanks as "%20"; nothing else changes.
std::string EscapeBlanks(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    if (c == ' ') {
      out += "%20";
    } else {
      out += c;
    }
  }
  return out;
}

// Makes room for `more` bytes while `done` of `total` records are in. A
// grown string holds the old and the new copy at once, so it grows straight
// to what the rest will need at the mean size so far (an eighth more), not
// by doubling: records of like sizes need a single copy. Never less than
// doubling, so building a request of any size costs time in proportion to
// it; room reserved and not written costs address space, not memory.
void Reserve(std::string& text, std::size_t more, std::size_t done, std::size_t total) {
  const std::size_t needed = text.size() + more;
  if (needed <= text.capacity()) return;
  const std::size_t mean = needed / (done + 1);
  const std::size_t expected = total > done ? needed + mean * (total - done - 1) / 8 * 9 : needed;
  try {
    text.reserve(std::max({needed, expected, text.capacity() * 2}));
  } catch (const std::bad_alloc&) {
    text.reserve(std::max(needed, text.capacity() * 2));  // the guess was too large for this machine
  }
}

}  // namespace

void CTarvoConduit::RunCommandPPut(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::RunCommandPPut(CString cmd, CString SyncSrv, CTarvoServer ActualServer)");
  (void)SyncSrv;
  (void)ActualServer;
  const std::string url = GetAttribute(cmd, "url", "");
  const std::string path = DownloadToTemp(
      url, tarvo::engine::FillText(RCString(tarvo::res::kTransferring).str(), GetAttribute(cmd, "title", "")));
  if (path.empty()) return;

  const std::string dbName = DatabaseNameOfFile(path);
  const CDbList* match = nullptr;
  if (!dbName.empty() && dblist) {
    for (int32_t i = 0; i < m_dbCount && !match; ++i) {
      const CDbList& entry = dblist[static_cast<std::size_t>(i)];
      if (FieldText(entry.m_Name, sizeof entry.m_Name) == dbName) match = &entry;
    }
  }
  const int32_t queued = g_pMobileDeviceSync->InstallFile(m_installTarget, path, match ? match->m_CardNum : -1);
  const std::string title = GetAttribute(cmd, "title", "");
  if (queued != 0) {
    // Never logged as queued when it was not.
    const std::string failed = "Tarvo: " + title + " not queued for installation (" + std::to_string(queued) + ")\n";
    g_pMobileDeviceSync->AddLogEntry(failed.c_str());
    tarvo::handheld::AddDesktopLogEntry(failed.c_str());
    return;
  }
  const std::string line =
      match ? "Tarvo: " + title + " on card: " + std::to_string(match->m_CardNum) + "\n" : "Tarvo: " + title + "\n";
  g_pMobileDeviceSync->AddLogEntry(line.c_str());
}

void CTarvoConduit::RunCommandPDel(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::RunCommandPDel(CString cmd, CString SyncSrv, CTarvoServer ActualServer)");
  (void)SyncSrv;
  (void)ActualServer;
  const std::string db = GetAttribute(cmd, "db", "");
  for (int card = 0; card < m_cardCount; ++card) {
    if (g_pMobileDeviceSync->DeleteDB(db.c_str(), card) == SYNCERR_NONE) break;
  }
}

void CTarvoConduit::RunCommandPGet(std::string cmd, std::string SyncSrv, CTarvoServer ActualServer) {
  TarvoTrace("CTarvoConduit::RunCommandPGet(CString cmd, CString SyncSrv, CTarvoServer ActualServer)");
  (void)ActualServer;
  const std::string db = GetAttribute(cmd, "db", "");
  std::string request = "cmd=pget&" + m_credentials + "&";
  if (!m_device_id.empty()) request += "device_id=" + m_device_id + "&";

  uint8_t handle = 0;
  if (g_pMobileDeviceSync->OpenDB(db.c_str(), 0, handle, kOpenReadOnly) != SYNCERR_NONE) return;

  OpenDbInfo info{};
  g_pMobileDeviceSync->ReadOpenDbInfo(OpenDbInfoRequest{kOpenDbInfoKind, handle}, info);
  const std::string name = EscapeBlanks(db);
  request += "dbname=" + name + "&dbtype=" + tarvo::handheld::CreatorIdText(info.m_DbInfo.m_DbType);

  const std::string recordKey = "&" + name + "_record=";
  const std::string idKey = "&" + name + "_record_id=";
  uint8_t* buffer = m_recordBuffer.get();
  // Each record is read into a clean buffer. Only the bytes the previous read
  // may have written need clearing; a failed read may have written anywhere.
  std::size_t dirty = kRecordBufferSize;
  const uint32_t recordCount = info.m_RecCount;  // a packed field: copied, never referenced
  const uint32_t count = std::min(recordCount, kMaxRecordIndexes);
  for (uint32_t index = 0; index < count; ++index) {
    RecordInfo record{};
    record.m_FileHandle = handle;
    record.m_RecIndex = static_cast<uint16_t>(index);
    record.m_pBytes = buffer;
    record.m_TotalBytes = static_cast<uint16_t>(kRecordBufferSize);
    record.m_RecSize = 0;
    record.m_dwReserved = 0;
    std::memset(buffer, 0, dirty);
    dirty = kRecordBufferSize;
    if (g_pMobileDeviceSync->ReadRecordByIndex(record) != SYNCERR_NONE || record.m_RecSize == 0) continue;
    // A size the buffer cannot hold was not read into it.
    if (record.m_RecSize > kRecordBufferSize) continue;
    dirty = record.m_RecSize;

    // The record's last byte is not sent. An empty rest stays empty.
    const std::size_t length = record.m_RecSize - 1;
    const std::string id = std::to_string(static_cast<int32_t>(record.m_RecId));
    Reserve(request, recordKey.size() + 3 * length + idKey.size() + id.size(), index, count);
    request += recordKey;
    AppendURLEncoded(request, buffer, length);
    request += idKey;
    request += id;
  }
  g_pMobileDeviceSync->ResetSyncFlags(handle);
  g_pMobileDeviceSync->CloseDB(handle);

  const std::string url = GetAttribute(cmd, "url", SyncSrv);
  ParseResponse(GetPage(url, std::move(request)));
}
