#include "desktop/hotsync_report.h"

#include <QCoreApplication>

#include "desktop/status_words.h"

namespace tarvo::desktop {
namespace {

constexpr int kCancelledStatus = 5;

// The texts of this file, in the translation context "Notification".
class NotificationWords {
  Q_DECLARE_TR_FUNCTIONS(Notification)
};

}  // namespace

std::optional<HotSyncReport> ReportCollector::take(const QJsonObject& event) {
  const QString type = event.value(QLatin1String("event")).toString();
  if (type == QLatin1String("state")) {
    running_.clear();  // a new stream: what came before is gone
    return std::nullopt;
  }
  if (type == QLatin1String("ended")) {
    const HotSyncState ended = parseHotSync(event.value(QLatin1String("hotsync")).toObject());
    HotSyncReport report;
    if (auto at = running_.find(ended.id); at != running_.end()) {
      report = std::move(at->second);
      running_.erase(at);
    }
    report.hotsync = ended;
    return report;
  }
  const QJsonValue id = event.value(QLatin1String("hotsync"));
  if (!id.isDouble()) return std::nullopt;
  HotSyncReport& report = running_[id.toInt()];
  if (type == QLatin1String("install")) {
    QString name = event.value(QLatin1String("database")).toString();
    const QString file = event.value(QLatin1String("file")).toString();
    if (name.isEmpty()) name = file;
    if (event.value(QLatin1String("ok")).toBool())
      report.installed << name;
    else
      report.refused << QStringLiteral("%1: %2").arg(file, event.value(QLatin1String("words")).toString());
  } else if (type == QLatin1String("conduit-ended")) {
    // A cancel is no conduit's failure; every other end but a clean one is.
    const int status = event.value(QLatin1String("status")).toInt();
    const QString words = event.value(QLatin1String("words")).toString();
    if (status != 0 && status != kCancelledStatus && !words.isEmpty()) report.causes << words;
  } else if (type == QLatin1String("backup")) {
    report.backedUp = true;
    report.copied += event.value(QLatin1String("copied")).toInt();
    report.unchanged += event.value(QLatin1String("unchanged")).toInt();
    report.backupFailed += event.value(QLatin1String("failed")).toInt();
  } else if (type == QLatin1String("dropped")) {
    running_.erase(id.toInt());
  }
  return std::nullopt;
}

NotificationText notificationFor(const HotSyncReport& report) {
  const HotSyncState& h = report.hotsync;
  NotificationText text;
  text.persistent = failed(h);
  if (h.user.isEmpty())
    text.summary = text.persistent ? NotificationWords::tr("HotSync failed") : NotificationWords::tr("HotSync done");
  else
    text.summary =
        (text.persistent ? NotificationWords::tr("HotSync of %1 failed") : NotificationWords::tr("HotSync of %1 done"))
            .arg(h.user);
  QStringList lines;
  if (!h.words.isEmpty()) lines << h.words;
  if (text.persistent) lines << report.causes;
  if (!report.installed.isEmpty())
    lines << NotificationWords::tr("Installed: %1").arg(report.installed.join(QLatin1String(", ")));
  for (const QString& refused : report.refused) lines << NotificationWords::tr("Not installed: %1").arg(refused);
  if (report.backedUp) {
    QString backup = (report.copied == 1 ? NotificationWords::tr("Backed up 1 database")
                                         : NotificationWords::tr("Backed up %1 databases").arg(report.copied));
    if (report.backupFailed > 0)
      backup += QLatin1String(", ") + (report.backupFailed == 1
                                           ? NotificationWords::tr("1 could not be copied")
                                           : NotificationWords::tr("%1 could not be copied").arg(report.backupFailed));
    lines << backup;
  }
  text.body = lines.join(QLatin1Char('\n'));
  return text;
}

}  // namespace tarvo::desktop
