// The end of each HotSync as a desktop notification, through the session's
// org.freedesktop.Notifications service. Without a session bus or a service
// nothing is shown and nothing else changes.
#pragma once

#include <QObject>
#include <map>

#include "desktop/hotsync_report.h"

namespace tarvo::desktop {

class DesktopNotifier : public QObject {
  Q_OBJECT
 public:
  DesktopNotifier();
  void show(const NotificationText& text, int hotsync);

 signals:
  // The user clicked a notification: show that HotSync in the log.
  void openLog(int hotsync);
  // The service took it.
  void shown(const QString& summary);

 private slots:
  void actionInvoked(uint id, const QString& action);

 private:
  std::map<uint, int> hotsyncs_;  // notification id -> HotSync id
};

}  // namespace tarvo::desktop
