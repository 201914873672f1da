#include "desktop/install_queue.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include "desktop/host_command.h"
#include "hotsync/host.h"

namespace tarvo::desktop {
namespace {

// The texts of this file, in the translation context "Install".
class InstallWords {
  Q_DECLARE_TR_FUNCTIONS(Install)
};

}  // namespace

QString fileKind(const QString& file) {
  const QString suffix = QFileInfo(file).suffix().toLower();
  if (suffix == QLatin1String("prc")) return InstallWords::tr("application");
  if (suffix == QLatin1String("pqa")) return InstallWords::tr("web clipping");
  return InstallWords::tr("database");
}

QStringList hotSyncUsers() {
  QStringList users;
  for (const std::string& user : hotsync::users()) users << QString::fromStdString(user);
  return users;
}

std::vector<QueuedEntry> queueOf(const QString& user) {
  std::vector<QueuedEntry> entries;
  for (const hotsync::QueuedFile& queued : hotsync::queuedFiles(user.toStdString())) {
    QueuedEntry entry;
    entry.file = QString::fromStdString(queued.file);
    entry.database = QString::fromStdString(queued.database);
    entry.type = fileKind(entry.file);
    entry.bytes = static_cast<qint64>(queued.bytes);
    entries.push_back(entry);
  }
  return entries;
}

QueueOutcome queueFiles(const QString& user, const QStringList& files) {
  QueueOutcome outcome;
  for (const QString& file : files) {
    const HostResult result = runHost({QStringLiteral("install"), QStringLiteral("--user"), user,
                                       QStringLiteral("--create"), QStringLiteral("--"), file});
    if (result.ran && result.status == 0) {
      outcome.queued << file;
    } else {
      // The command's own line: "tarvo-hotsync: FILE: not a Palm database: ..."
      QString why = result.error.section(QLatin1Char('\n'), 0, 0);
      why.remove(QRegularExpression(QStringLiteral("^tarvo-hotsync: ")));
      outcome.refused << (why.isEmpty() ? InstallWords::tr("%1: could not be queued").arg(file) : why);
    }
  }
  return outcome;
}

bool removeQueued(const QString& user, const QString& file, QString* error) {
  if (!hotsync::removeQueuedFiles(user.toStdString(), file.toStdString()).empty()) return true;
  if (error) *error = InstallWords::tr("%1 is no longer queued for %2").arg(file, user);
  return false;
}

}  // namespace tarvo::desktop
