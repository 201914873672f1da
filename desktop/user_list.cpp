#include "desktop/user_list.h"

#include <QDirIterator>
#include <QFileInfo>

#include "desktop/host_command.h"
#include "desktop/install_queue.h"
#include "desktop/log_model.h"
#include "hotsync/host.h"

namespace tarvo::desktop {
namespace {

qint64 folderBytes(const QString& folder) {
  qint64 bytes = 0;
  QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
  while (it.hasNext()) bytes += QFileInfo(it.next()).size();
  return bytes;
}

}  // namespace

std::vector<UserRow> userRows() {
  const auto logs = groupLog(runHost({QStringLiteral("log"), QStringLiteral("--json")}).out);
  std::vector<UserRow> rows;
  for (const QString& name : hotSyncUsers()) {
    UserRow row;
    row.name = name;
    row.queued = static_cast<int>(queueOf(name).size());
    if (const auto at = logs.find(name); at != logs.end() && !at->second.empty()) {
      row.lastHotSync = at->second.back().start();
      row.lastFailed = at->second.back().failed;
    }
    row.backupBytes = folderBytes(QString::fromStdString((hotsync::userDir(name.toStdString()) / "backup").string()));
    rows.push_back(row);
  }
  return rows;
}

bool deleteUser(const QString& name, bool withBackups, QString* error) {
  QStringList args{QStringLiteral("users"), QStringLiteral("--delete"), name, QStringLiteral("--yes")};
  if (withBackups) args << QStringLiteral("--with-backups");
  const HostResult result = runHost(args);
  if (result.ran && result.status == 0) return true;
  if (error) *error = result.error;
  return false;
}

}  // namespace tarvo::desktop
