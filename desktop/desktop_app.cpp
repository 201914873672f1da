#include "desktop/desktop_app.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "desktop/autostart.h"

namespace tarvo::desktop {

DesktopApp::DesktopApp(std::unique_ptr<ManagerClient> client, const AppOptions& options)
    : client_(std::move(client)), icon_(std::make_unique<StatusIcon>(options.tray)) {
  connect(client_.get(), &ManagerClient::eventArrived, &watch_, &ManagerWatch::takeEvent);
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

void raise(QWidget& window) {
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace

LogWindow& DesktopApp::showLog() {
  watch_.markFailureSeen();
  if (!log_)
    log_ = std::make_unique<LogWindow>();
  else
    log_->reload();
  const ManagerState* state = watch_.state();
  if (state && state->running && !state->running->user.isEmpty())
    log_->showUser(state->running->user);
  else if (state && state->last)
    log_->showUser(state->last->user);
  raise(*log_);
  return *log_;
}

InstallWindow& DesktopApp::showInstall() {
  if (!install_)
    install_ = std::make_unique<InstallWindow>();
  else
    install_->refresh();
  raise(*install_);
  return *install_;
}

SetupWindow& DesktopApp::showSetup() {
  if (!setup_)
    setup_ = std::make_unique<SetupWindow>(*client_);
  else
    setup_->load();
  raise(*setup_);
  return *setup_;
}

ConduitsWindow& DesktopApp::showConduits() {
  if (!conduits_)
    conduits_ = std::make_unique<ConduitsWindow>();
  else
    conduits_->refresh();
  raise(*conduits_);
  return *conduits_;
}

UsersWindow& DesktopApp::showUsers() {
  if (!users_)
    users_ = std::make_unique<UsersWindow>(watch_);
  else
    users_->refresh();
  raise(*users_);
  return *users_;
}

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
