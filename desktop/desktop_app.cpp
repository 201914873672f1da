#include "desktop/desktop_app.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "desktop/autostart.h"
#include "desktop/host_command.h"

namespace tarvo::desktop {

DesktopApp::DesktopApp(std::unique_ptr<ManagerClient> client, const AppOptions& options)
    : client_(std::move(client)), icon_(std::make_unique<StatusIcon>(options.tray)) {
  connect(client_.get(), &ManagerClient::eventArrived, &watch_, &ManagerWatch::takeEvent);
  // Each stream starts with the whole state: a manager met for the first
  // time (or again, after its restart) is handed this desktop session, so
  // the HotSyncs handhelds start show their windows here.
  connect(client_.get(), &ManagerClient::eventArrived, this, [](const QJsonObject& event) {
    if (event.value(QStringLiteral("event")) == QStringLiteral("state"))
      startHost({QStringLiteral("manager"), QStringLiteral("--session")});
  });
  connect(client_.get(), &ManagerClient::lost, &watch_, &ManagerWatch::takeLoss);
  connect(&watch_, &ManagerWatch::changed, this, [this, verbose = options.verbose] {
    const Status status = watch_.status();
    if (verbose && status.tooltip != icon_->toolTip()) {
      std::printf("status: %s\n", qPrintable(QString(status.tooltip).replace(QLatin1Char('\n'), QLatin1String(" | "))));
      std::fflush(stdout);
    }
    icon_->show(status);
  });
  if (options.verbose) {
    connect(&notifier_, &DesktopNotifier::shown, this, [](const QString& summary) {
      std::printf("notified: %s\n", qPrintable(summary));
      std::fflush(stdout);
    });
  }
  connect(&watch_, &ManagerWatch::hotSyncEnded, this,
          [this](const HotSyncReport& report) { notifier_.show(notificationFor(report), report.hotsync.id); });

  connect(&watch_, &ManagerWatch::eventTaken, this, &DesktopApp::follow);
  connect(&watch_, &ManagerWatch::eventTaken, &hotsync_, &HotSyncWindow::take);
  connect(&hotsync_, &HotSyncWindow::cancelWanted, this, [this](int id) {
    client_->request(
        QStringLiteral("cancel"), [this](const QJsonObject& reply) { hotsync_.cancelAnswered(reply); },
        QJsonObject{{QStringLiteral("hotsync"), id}});
  });
  connect(icon_.get(), &StatusIcon::logWanted, this, [this] { showLog(); });
  connect(&notifier_, &DesktopNotifier::openLog, this, [this] { showLog(); });
  connect(icon_.get(), &StatusIcon::installWanted, this, [this] { showInstall(); });
  connect(icon_.get(), &StatusIcon::setupWanted, this, [this] { showSetup(); });
  connect(icon_.get(), &StatusIcon::conduitsWanted, this, [this] { showConduits(); });
  connect(icon_.get(), &StatusIcon::usersWanted, this, [this] { showUsers(); });
  connect(icon_.get(), &StatusIcon::startAtLoginToggled, this, [this](bool on) {
    QString error;
    if (!setStartAtLogin(on, QApplication::applicationFilePath(), &error)) {
      QMessageBox::warning(nullptr, tr("Start at login"), error);
      icon_->setStartsAtLogin(startsAtLogin());
    }
  });
  connect(icon_.get(), &StatusIcon::aboutWanted, this, &DesktopApp::about);
  connect(icon_.get(), &StatusIcon::quitWanted, this, &DesktopApp::quitAll);
  icon_->setStartsAtLogin(startsAtLogin());
  icon_->show(watch_.status());
}

DesktopApp::~DesktopApp() = default;

void DesktopApp::start() { client_->start(); }

namespace {

// Makes the window the first time, reads its contents again after that,
// and brings it to the front.
template <typename Window, typename... Args>
Window& bringUp(std::unique_ptr<Window>& window, void (Window::*readAgain)(), Args&... args) {
  if (!window)
    window = std::make_unique<Window>(args...);
  else
    ((*window).*readAgain)();
  window->show();
  window->raise();
  window->activateWindow();
  return *window;
}

}  // namespace

LogWindow& DesktopApp::showLog() {
  watch_.markFailureSeen();
  LogWindow& log = bringUp(log_, &LogWindow::reload);
  const ManagerState* state = watch_.state();
  if (state && state->running && !state->running->user.isEmpty())
    log.showUser(state->running->user);
  else if (state && state->last)
    log.showUser(state->last->user);
  return log;
}

InstallWindow& DesktopApp::showInstall() { return bringUp(install_, &InstallWindow::refresh); }
SetupWindow& DesktopApp::showSetup() { return bringUp(setup_, &SetupWindow::load, *client_); }
ConduitsWindow& DesktopApp::showConduits() { return bringUp(conduits_, &ConduitsWindow::refresh); }
UsersWindow& DesktopApp::showUsers() { return bringUp(users_, &UsersWindow::refresh, watch_); }

// An open log follows a HotSync as its steps reach the desktop log; an open
// Install window sees its queue emptied by the HotSync's installs.
void DesktopApp::follow(const QJsonObject& event) {
  static const QStringList kLogged{QStringLiteral("user"), QStringLiteral("install"), QStringLiteral("conduit-ended"),
                                   QStringLiteral("backup"), QStringLiteral("ended")};
  const QString type = event.value(QLatin1String("event")).toString();
  if (!kLogged.contains(type)) return;
  if (log_ && log_->isVisible()) {
    log_->reload();
    if (type == QLatin1String("user")) log_->showUser(event.value(QLatin1String("user")).toString());
  }
  if (type != QLatin1String("ended")) return;
  if (install_ && install_->isVisible()) install_->refresh();
  if (users_ && users_->isVisible()) users_->refresh();
}

void DesktopApp::about() {
  QMessageBox::about(nullptr, tr("About Tarvo HotSync Manager"),
                     tr("<b>Tarvo HotSync Manager</b> %1<p>Shows what the HotSync manager does, and opens the "
                        "HotSync log, the install queue, the users' backups and the setup.</p>")
                         .arg(QApplication::applicationVersion()));
}

// Quits the manager as `tarvo-hotsync manager --quit` does, and this program.
void DesktopApp::quitAll() {
  const ManagerState* state = watch_.state();
  if (state && state->running) {
    const auto answer = QMessageBox::question(
        nullptr, tr("Quit the HotSync manager"),
        tr("A HotSync is running. Quitting cancels it (the handheld keeps what was done). Quit anyway?"));
    if (answer != QMessageBox::Yes) return;
  }
  client_->request(QStringLiteral("quit"), [](const QJsonObject&) { QApplication::quit(); });
}

}  // namespace tarvo::desktop
