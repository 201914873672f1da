#include "desktop/desktop_app.h"

#include <QApplication>
#include <QMessageBox>

#include "desktop/autostart.h"

namespace tarvo::desktop {

DesktopApp::DesktopApp(std::unique_ptr<ManagerClient> client, const AppOptions& options)
    : client_(std::move(client)), icon_(std::make_unique<StatusIcon>(options.tray)) {
  connect(client_.get(), &ManagerClient::eventArrived, &watch_, &ManagerWatch::takeEvent);
  connect(client_.get(), &ManagerClient::lost, &watch_, &ManagerWatch::takeLoss);
  connect(&watch_, &ManagerWatch::changed, this, [this] { icon_->show(watch_.status()); });
  connect(&watch_, &ManagerWatch::hotSyncEnded, this,
          [this](const HotSyncReport& report) { notifier_.show(notificationFor(report), report.hotsync.id); });

  connect(icon_.get(), &StatusIcon::logWanted, &watch_, &ManagerWatch::markFailureSeen);
  connect(&notifier_, &DesktopNotifier::openLog, &watch_, &ManagerWatch::markFailureSeen);
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
