// What one HotSync did, gathered from the manager's events while it runs,
// and the notification that tells it at its end.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <map>
#include <optional>

#include "desktop/manager_state.h"

namespace tarvo::desktop {

struct HotSyncReport {
  HotSyncState hotsync;  // as it ended
  QStringList installed;
  QStringList refused;  // "file: why"
  QStringList causes;   // why a conduit failed, in its words
  bool backedUp = false;
  int copied = 0;
  int unchanged = 0;
  int backupFailed = 0;
};

// Feed it every event of the stream; an `ended` event gives the whole report
// of that HotSync.
class ReportCollector {
 public:
  std::optional<HotSyncReport> take(const QJsonObject& event);

 private:
  std::map<int, HotSyncReport> running_;
};

struct NotificationText {
  QString summary;
  QString body;
  bool persistent = false;  // a failure stays until dismissed
};

NotificationText notificationFor(const HotSyncReport& report);

}  // namespace tarvo::desktop
