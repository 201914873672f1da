#include "desktop/log_model.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

#include "hotsync/hslog.h"

namespace tarvo::desktop {

std::map<QString, std::vector<LogGroup>> groupLog(const QByteArray& jsonLines) {
  std::map<QString, std::vector<LogGroup>> users;
  for (const QByteArray& raw : jsonLines.split('\n')) {
    const QJsonObject entry = QJsonDocument::fromJson(raw).object();
    if (entry.value(QLatin1String("log")) != QLatin1String("desktop")) continue;
    LogLine line;
    line.time = entry.value(QLatin1String("time")).toString();
    line.activity = entry.value(QLatin1String("activity")).toInt(slText);
    line.word = entry.value(QLatin1String("word")).toString();
    line.text = entry.value(QLatin1String("text")).toString();
    line.failure = line.activity == slWarning || line.activity == slSyncAborted;
    std::vector<LogGroup>& groups = users[entry.value(QLatin1String("user")).toString()];
    if (groups.empty() || line.text.startsWith(kHotSyncStartText)) groups.emplace_back();
    groups.back().failed = groups.back().failed || line.failure;
    groups.back().lines.push_back(std::move(line));
  }
  return users;
}

std::map<QString, QStringList> handheldLogs(const QByteArray& jsonLines) {
  std::map<QString, QStringList> users;
  for (const QByteArray& raw : jsonLines.split('\n')) {
    const QJsonObject entry = QJsonDocument::fromJson(raw).object();
    const QString user = entry.value(QLatin1String("user")).toString();
    if (entry.value(QLatin1String("log")) != QLatin1String("handheld") || user.isEmpty()) continue;
    users[user] << entry.value(QLatin1String("text")).toString();
  }
  return users;
}

QString logText(const QString& user, const std::vector<LogGroup>& groups) {
  QString text = QCoreApplication::translate("Log", "HotSync log of %1").arg(user) + QLatin1Char('\n');
  for (const LogGroup& group : groups) {
    text += QLatin1Char('\n');
    text += group.failed ? QCoreApplication::translate("Log", "HotSync %1 - %2: FAILED").arg(group.start(), group.end())
                         : QCoreApplication::translate("Log", "HotSync %1 - %2").arg(group.start(), group.end());
    text += QLatin1Char('\n');
    for (const LogLine& line : group.lines) {
      text += QStringLiteral("  %1\t%2 %3\t%4%5\n")
                  .arg(line.time)
                  .arg(line.activity)
                  .arg(line.word, line.failure ? QStringLiteral("! ") : QString(), line.text);
    }
  }
  return text;
}

}  // namespace tarvo::desktop
