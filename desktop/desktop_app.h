// The program put together: the manager's stream feeds the watch; the watch
// feeds the status icon and the notifications; the menu opens the windows.
#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

#include "desktop/conduits_window.h"
#include "desktop/desktop_notifier.h"
#include "desktop/hotsync_window.h"
#include "desktop/install_window.h"
#include "desktop/log_window.h"
#include "desktop/manager_client.h"
#include "desktop/manager_watch.h"
#include "desktop/setup_window.h"
#include "desktop/status_icon.h"
#include "desktop/users_window.h"

namespace tarvo::desktop {

struct AppOptions {
  bool tray = true;      // false: the small window even where a status area exists
  bool verbose = false;  // each change of the status and each notification as a line on standard output
};

class DesktopApp : public QObject {
  Q_OBJECT
 public:
  DesktopApp(std::unique_ptr<ManagerClient> client, const AppOptions& options);
  ~DesktopApp() override;

  void start();
  ManagerWatch& watch() { return watch_; }
  StatusIcon& icon() { return *icon_; }
  // Shows itself when a HotSync starts.
  HotSyncWindow& hotSyncWindow() { return hotsync_; }
  // The windows, made when first wanted.
  LogWindow& showLog();
  InstallWindow& showInstall();
  SetupWindow& showSetup();
  ConduitsWindow& showConduits();
  UsersWindow& showUsers();

 private:
  void quitAll();
  void about();
  void follow(const QJsonObject& event);

  std::unique_ptr<ManagerClient> client_;
  ManagerWatch watch_;
  DesktopNotifier notifier_;
  std::unique_ptr<StatusIcon> icon_;
  HotSyncWindow hotsync_;
  std::unique_ptr<LogWindow> log_;
  std::unique_ptr<InstallWindow> install_;
  std::unique_ptr<SetupWindow> setup_;
  std::unique_ptr<ConduitsWindow> conduits_;
  std::unique_ptr<UsersWindow> users_;
};

}  // namespace tarvo::desktop
