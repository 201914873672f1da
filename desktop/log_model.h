// The desktop HotSync log as the log window shows it: per user, each
// HotSync a group of entries, failures marked. Read from
// `tarvo-hotsync log --json`, so the words for the codes are the log
// command's own.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace tarvo::desktop {

struct LogLine {
  QString time;  // "YYYY-MM-DD HH:MM:SS", local time
  int activity = 0;
  QString word;  // the log command's word for the code
  QString text;
  bool failure = false;  // a warning or a cancelled HotSync
};

struct LogGroup {
  std::vector<LogLine> lines;
  bool failed = false;
  QString start() const { return lines.empty() ? QString() : lines.front().time; }
  QString end() const { return lines.empty() ? QString() : lines.back().time; }
};

// The host's first entry of every HotSync begins with this.
inline const QString kHotSyncStartText = QStringLiteral("HotSync started");

// Each user's HotSyncs, oldest first. Entries written before any HotSync
// start line (an older log) form one group.
std::map<QString, std::vector<LogGroup>> groupLog(const QByteArray& jsonLines);

// Each user's handheld log as its last HotSync left it, from the same lines.
std::map<QString, QStringList> handheldLogs(const QByteArray& jsonLines);

// The groups as plain text, for copying and saving.
QString logText(const QString& user, const std::vector<LogGroup>& groups);

}  // namespace tarvo::desktop
