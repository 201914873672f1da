// A user's install queue as the Install window shows and changes it. Files
// are queued by `tarvo-hotsync install`, one at a time, so each is checked
// exactly as on the command line and refused with its own reason.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tarvo::desktop {

struct QueuedEntry {
  QString file;      // its name in the queue
  QString database;  // the database it holds; empty when it is none
  QString type;      // application, database, web clipping
  qint64 bytes = 0;
};

struct QueueOutcome {
  QStringList queued;   // files queued
  QStringList refused;  // one line each: what and why
};

QStringList hotSyncUsers();
std::vector<QueuedEntry> queueOf(const QString& user);
// Queues each file for `user` (a new user is made); the good ones go in
// even when another is refused.
QueueOutcome queueFiles(const QString& user, const QStringList& files);
// False with *error when nothing of that name was queued.
bool removeQueued(const QString& user, const QString& file, QString* error);
// "application", "database", "web clipping" from the file's name.
QString fileKind(const QString& file);

}  // namespace tarvo::desktop
