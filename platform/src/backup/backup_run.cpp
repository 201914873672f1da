// The HotSync's backup of the connected handheld.
#include <atomic>
#include <cstring>
#include <ctime>
#include <set>
#include <utility>
#include <vector>

#include "backup/backup_folder.h"
#include "desktop_log.h"
#include "hotsync/backup.h"
#include "hotsync/hslog.h"
#include "pdb/palm_clock.h"
#include "session.h"
#include "sys_date_time.h"
#include "test_hooks.h"
#include "text/cp1252.h"

namespace hotsync {
namespace fs = std::filesystem;

namespace {

constexpr int kMaxCards = 64;
constexpr int32_t kListPage = 256;
constexpr std::size_t kBatch = 64;  // copies put in place together

// The handheld's own clock, so that its dates compare with each other.
uint32_t handheldNow(detail::Device& device) {
  SysDateTime now{};
  if (device.readDateTime(&now) == SYNCERR_NONE && now.m_Year >= 1904) {
    const uint32_t seconds = dlp::palmFromDate(detail::dlpDateTime(now));
    if (seconds != 0) return seconds;
  }
  return pdb::palmNow();
}

// Every RAM database of every card.
std::vector<CDbList> listAll(detail::Device& device) {
  std::vector<CDbList> all;
  for (int card = 0; card < kMaxCards; ++card) {
    CardInfo info{};
    info.m_CardNo = static_cast<uint8_t>(card);
    const int32_t status = device.readCardInfo(&info);
    if (status == SYNCERR_NOT_FOUND || status == SYNCERR_NOT_CONNECTED) break;
    if (status != SYNCERR_NONE) continue;
    for (uint16_t start = 0;;) {
      std::vector<CDbList> page(kListPage);
      int32_t count = kListPage;
      if (device.readDbList(static_cast<uint8_t>(card), start, DB_LIST_RAM, page.data(), &count) != SYNCERR_NONE ||
          count <= 0) {
        break;
      }
      all.insert(all.end(), page.begin(), page.begin() + count);
      const uint32_t next = static_cast<uint32_t>(page[static_cast<std::size_t>(count) - 1].m_Index) + 1;
      if (next > 0xFFFF || count < kListPage) break;
      start = static_cast<uint16_t>(next);
    }
  }
  return all;
}

// Reads the database of `entry` whole; a status other than SYNCERR_NONE when it cannot.
int32_t readWhole(detail::Device& device, const CDbList& entry, pdb::Database* db) {
  uint8_t handle = 0;
  int32_t status = device.openDb(entry.m_Name, entry.m_CardNum, &handle, eDbRead | eDbShowSecret);
  if (status != SYNCERR_NONE) return status;
  detail::countWholeRead();
  status = device.readWholeDatabase(handle, db);
  device.closeDb(handle);
  return status;
}

int32_t stampBackupDate(detail::Device& device, const CDbList& entry, uint32_t date) {
  // Open for writing where it can be: a handheld that knows no other way
  // sets the date while resetting the sync flags, which needs it.
  uint8_t handle = 0;
  int32_t status = device.openDb(entry.m_Name, entry.m_CardNum, &handle, eDbRead | eDbWrite | eDbShowSecret);
  if (status == SYNCERR_READ_ONLY)
    status = device.openDb(entry.m_Name, entry.m_CardNum, &handle, eDbRead | eDbShowSecret);
  if (status != SYNCERR_NONE) return status;
  status = device.setBackupDate(handle, date);
  const int32_t closed = device.closeDb(handle);
  return status != SYNCERR_NONE ? status : closed;
}

std::string statusText(int32_t status) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(status));
  return std::string("status ") + hex;
}

}  // namespace

fs::path userBackupDir(const std::string& user) { return userDir(user) / "backup"; }

int32_t readWholeDatabase(uint8_t handle, pdb::Database* db) noexcept {
  if (db == nullptr) return SYNCERR_BAD_ARG;
  try {
    auto& s = detail::session();
    std::lock_guard lock(s.mutex);
    if (!s.handheld) return SYNCERR_NOT_CONNECTED;
    detail::countWholeRead();
    return s.handheld->readWholeDatabase(handle, db);
  } catch (...) {
    return SYNCERR_UNKNOWN;
  }
}

BackupReport backupHandheld(const BackupOptions& options) {
  BackupReport report;
  auto& s = detail::session();
  std::string user;
  auto failed = [&](const std::string& line) {
    detail::appendDesktopLog(user, slWarning, line);
    report.failures.push_back(line);
  };
  try {
    std::unique_lock lock(s.mutex);
    if (!s.handheld || s.currentUser.empty()) return report;
    user = s.currentUser;
    detail::Device& device = *s.handheld;
    detail::BackupFolder folder(userBackupDir(user));
    const uint32_t now = handheldNow(device);
    // The copies go into place in batches (each copy held open until then);
    // then the handheld learns which ones it has.
    std::vector<std::pair<CDbList, std::string>> staged;  // list entry, name (UTF-8)
    bool connected = true;
    const auto putInPlace = [&] {
      const std::vector<std::string> errors = folder.commit();
      connected = connected && s.handheld.get() == &device;
      for (std::size_t i = 0; i < staged.size(); ++i) {
        const auto& [entry, name] = staged[i];
        if (!errors[i].empty()) {
          failed("Backup: " + name + " not backed up: " + errors[i]);
          continue;
        }
        ++report.backedUp;
        if (!connected) continue;
        const int32_t status = stampBackupDate(device, entry, now);
        connected = status != SYNCERR_NOT_CONNECTED;
        if (status != SYNCERR_NONE && connected)
          failed("Backup: " + name + " backed up, but its backup date could not be set (" + statusText(status) + ")");
        if (connected) device.keepAlive();
      }
      staged.clear();
    };
    for (const CDbList& entry : listAll(device)) {
      if ((entry.m_DbFlags & pdb::kAttrBackup) == 0 || options.skipCreators.contains(uint32_t{entry.m_Creator}))
        continue;
      if (folder.upToDate(entry)) {
        ++report.unchanged;
        continue;
      }
      if (cancelRequested()) {
        report.cancelled = true;
        break;
      }
      const std::string name =
          tarvo::Cp1252ToUtf8(std::string(entry.m_Name, strnlen(entry.m_Name, sizeof entry.m_Name)));
      if (options.progress) {
        // The front end may yield, which takes the lock itself.
        lock.unlock();
        options.progress(name);
        lock.lock();
        if (!s.handheld) break;
      }
      pdb::Database db;
      if (const int32_t status = readWhole(device, entry, &db); status != SYNCERR_NONE) {
        if (status == SYNCERR_NOT_CONNECTED) break;  // the handheld went: said once, by the host
        failed("Backup: " + name + " not backed up: cannot read it from the handheld (" + statusText(status) + ")");
        continue;
      }
      // The copy says when it was made, as the handheld will.
      db.backupDate = now;
      try {
        folder.stage(static_cast<uint32_t>(entry.m_CardNum), db);
      } catch (const std::exception& e) {
        failed("Backup: " + name + " not backed up: " + e.what());
        continue;
      }
      staged.push_back({entry, name});
      if (staged.size() == kBatch) putInPlace();
      device.keepAlive();
    }
    putInPlace();
    if (!folder.saveIndex())
      failed("Backup: the backup index in " + userBackupDir(user).string() + " cannot be written");
  } catch (const std::exception& e) {
    failed(std::string("Backup: ") + e.what());
  }
  return report;
}

}  // namespace hotsync
