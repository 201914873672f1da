#include "desktop/users_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desktop/host_command.h"
#include "desktop/manager_watch.h"
#include "desktop/user_list.h"

namespace tarvo::desktop {

UsersWindow::UsersWindow(const ManagerWatch& watch)
    : watch_(watch), list_(new QTreeWidget), message_(new QLabel), restoreButton_(new QPushButton(tr("&Restore..."))) {
  setWindowTitle(tr("Users and backups"));
  resize(620, 340);
  auto* layout = new QVBoxLayout(this);
  list_->setHeaderLabels({tr("User"), tr("Files queued"), tr("Last HotSync"), tr("Backup")});
  list_->setRootIsDecorated(false);
  list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  layout->addWidget(list_, 1);
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(message_);
  auto* buttons = new QDialogButtonBox;
  QPushButton* remove = buttons->addButton(tr("&Delete..."), QDialogButtonBox::ActionRole);
  buttons->addButton(restoreButton_, QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  connect(remove, &QPushButton::clicked, this, &UsersWindow::askDelete);
  connect(restoreButton_, &QPushButton::clicked, this, &UsersWindow::restore);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  refresh();
}

UsersWindow::~UsersWindow() {
  // A restore still waiting for its handheld is withdrawn with the window.
  if (restoring_ && restoring_->state() != QProcess::NotRunning) {
    restoring_->terminate();
    restoring_->waitForFinished(5000);
  }
}

QString UsersWindow::message() const { return message_->text(); }

void UsersWindow::refresh() {
  list_->clear();
  for (const UserRow& user : userRows()) {
    const QString last = user.lastHotSync.isEmpty() ? tr("none")
                         : user.lastFailed          ? tr("%1, failed").arg(user.lastHotSync)
                                                    : user.lastHotSync;
    auto* item =
        new QTreeWidgetItem(list_, {user.name, QString::number(user.queued), last,
                                    user.backupBytes > 0 ? QLocale().formattedDataSize(user.backupBytes) : tr("none")});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  }
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
}

bool UsersWindow::deleteSelected(bool withBackups) {
  QTreeWidgetItem* item = list_->currentItem();
  if (!item) return false;
  QString error;
  const bool done = deleteUser(item->text(0), withBackups, &error);
  message_->setText(done ? tr("%1 deleted.").arg(item->text(0)) : error);
  refresh();
  return done;
}

void UsersWindow::askDelete() {
  QTreeWidgetItem* item = list_->currentItem();
  if (!item) return;
  QMessageBox ask(QMessageBox::Question, tr("Delete a HotSync user"),
                  tr("Delete %1's desktop log and install queue? The backup stays, so that it can be restored "
                     "onto a handheld later.")
                      .arg(item->text(0)),
                  QMessageBox::Yes | QMessageBox::No, this);
  ask.setDefaultButton(QMessageBox::No);
  auto* backups = new QCheckBox(tr("Delete the backup &too"));
  ask.setCheckBox(backups);
  if (ask.exec() == QMessageBox::Yes) deleteSelected(backups->isChecked());
}

// The backup goes onto the handheld that calls next on a watched port, with
// the rules of `tarvo-hotsync restore` (a database newer on the handheld is
// kept, as no terminal is there to ask).
void UsersWindow::restore() {
  QTreeWidgetItem* item = list_->currentItem();
  if (!item || (restoring_ && restoring_->state() != QProcess::NotRunning)) return;
  const ManagerState* state = watch_.state();
  QString port;
  if (state)
    for (const PortState& p : state->ports)
      if (p.condition == QLatin1String("waiting")) {
        port = p.port;
        break;
      }
  if (port.isEmpty()) {
    message_->setText(tr("No port is waiting for a handheld: see Setup, and that the HotSync manager runs."));
    return;
  }
  restoring_ = std::make_unique<QProcess>();
  restoring_->setProgram(hostProgram());
  restoring_->setArguments(
      {QStringLiteral("restore"), QStringLiteral("--user"), item->text(0), QStringLiteral("--port"), port});
  restoring_->setProcessChannelMode(QProcess::MergedChannels);
  restoring_->setStandardInputFile(QProcess::nullDevice());
  connect(restoring_.get(), &QProcess::finished, this, [this](int status) {
    const QString said = QString::fromUtf8(restoring_->readAll()).trimmed();
    message_->setText((status == 0 ? tr("Restored.") : tr("The restore did not finish (status %1).").arg(status)) +
                      QLatin1Char('\n') + said);
    restoreButton_->setEnabled(true);
    refresh();
  });
  restoring_->start();
  restoreButton_->setEnabled(false);
  message_->setText(tr("Press HotSync on %1's handheld now (%2).").arg(item->text(0), port));
}

}  // namespace tarvo::desktop
