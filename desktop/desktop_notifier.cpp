#include "desktop/desktop_notifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace tarvo::desktop {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

DesktopNotifier::DesktopNotifier() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
}

void DesktopNotifier::show(const NotificationText& text, int hotsync) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
  const QStringList actions{QStringLiteral("default"), QCoreApplication::translate("Notification", "Open the log")};
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(text.persistent ? 2 : 1));
  hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tarvo-hotsync-manager"));
  // A failure never times out: it stays until the user dismisses it.
  const int timeout = text.persistent ? 0 : -1;
  call << QStringLiteral("Tarvo HotSync Manager") << uint(0) << QStringLiteral("tarvo-hotsync-manager") << text.summary
       << text.body << actions << hints << timeout;
  // Asynchronous: a slow or missing service never holds up the icon.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, hotsync, summary = text.summary] {
    QDBusPendingReply<uint> reply = *watcher;
    if (!reply.isError()) {
      hotsyncs_[reply.value()] = hotsync;
      emit shown(summary);
    }
    watcher->deleteLater();
  });
}

void DesktopNotifier::actionInvoked(uint id, const QString& action) {
  auto at = hotsyncs_.find(id);
  if (at == hotsyncs_.end()) return;
  if (action == QLatin1String("default")) emit openLog(at->second);
}

}  // namespace tarvo::desktop
