// The HotSync users as the Users and backups window shows them: files
// queued, the last HotSync and how it ended, the size of the backup; and
// what the window does to them, through the host's own commands.
#pragma once

#include <QString>
#include <vector>

namespace tarvo::desktop {

struct UserRow {
  QString name;
  int queued = 0;
  QString lastHotSync;  // when the last HotSync in the log began; empty: none
  bool lastFailed = false;
  qint64 backupBytes = 0;
};

std::vector<UserRow> userRows();
// `tarvo-hotsync users --delete NAME --yes [--with-backups]`.
bool deleteUser(const QString& name, bool withBackups, QString* error);

}  // namespace tarvo::desktop
