#include "desktop/conduits_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desktop/conduit_list.h"
#include "desktop/connection_setup.h"
#include "desktop/host_command.h"
#include "desktop/install_queue.h"

namespace tarvo::desktop {

ConduitsWindow::ConduitsWindow()
    : list_(new QTreeWidget),
      users_(new QComboBox),
      backup_(new QCheckBox(tr("&Back up the handheld's changed databases after the conduits"))),
      message_(new QLabel) {
  setWindowTitle(tr("Conduits"));
  resize(620, 360);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("A HotSync runs the conduits turned on, in this order:")));
  list_->setHeaderLabels({tr("Conduit"), tr("Creator"), tr("Next HotSync")});
  list_->setRootIsDecorated(false);
  list_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
  layout->addWidget(list_, 1);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(tr("For user:")));
  row->addWidget(users_, 1);
  auto* configureButton = new QPushButton(tr("C&onfigure..."));
  row->addWidget(configureButton);
  layout->addLayout(row);
  layout->addWidget(backup_);
  message_->setWordWrap(true);
  layout->addWidget(message_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
  connect(configureButton, &QPushButton::clicked, this, &ConduitsWindow::configure);
  connect(list_, &QTreeWidget::itemChanged, this, &ConduitsWindow::switched);
  connect(backup_, &QCheckBox::toggled, this, &ConduitsWindow::backupSwitched);
  refresh();
}

QString ConduitsWindow::message() const { return message_->text(); }

void ConduitsWindow::refresh() {
  QString error;
  const std::vector<ConduitRow> rows = conduits(&error);
  {
    const QSignalBlocker quiet(list_);
    list_->clear();
    for (const ConduitRow& conduit : rows) {
      auto* item = new QTreeWidgetItem(list_, {conduit.name, conduit.creator, conduit.next});
      item->setCheckState(0, conduit.off ? Qt::Unchecked : Qt::Checked);
    }
  }
  message_->setText(error);
  {
    const QSignalBlocker quiet(users_);
    const QString shown = users_->currentText();
    users_->clear();
    users_->addItems(hotSyncUsers());
    if (!shown.isEmpty()) users_->setCurrentText(shown);
  }
  ConnectionSetup setup;
  readSetup(managerConfigPath(), &setup, nullptr);
  const QSignalBlocker quiet(backup_);
  backup_->setChecked(setup.backup);
}

void ConduitsWindow::switched(QTreeWidgetItem* item, int column) {
  if (column != 0) return;
  QString error;
  if (!setConduitOn(item->text(1), item->checkState(0) == Qt::Checked, &error)) {
    refresh();
    message_->setText(error);
    return;
  }
  refresh();
}

// The backup is the manager's setting: saved in manager.conf (each HotSync
// reads it at its start).
void ConduitsWindow::backupSwitched(bool on) {
  ConnectionSetup setup;
  QString error;
  if (!readSetup(managerConfigPath(), &setup, &error) ||
      (setup.backup = on, !writeSetup(managerConfigPath(), setup, &error))) {
    message_->setText(error);
    return;
  }
  message_->setText(on ? tr("The next HotSyncs back up the handheld.") : tr("The next HotSyncs make no backup."));
}

// The conduit's own configuration sheet, as `tarvo-hotsync configure` shows it.
void ConduitsWindow::configure() {
  QStringList args{QStringLiteral("configure")};
  if (!users_->currentText().isEmpty()) args << QStringLiteral("--user") << users_->currentText();
  if (!QProcess::startDetached(hostProgram(), args))
    message_->setText(tr("%1 could not be started").arg(hostProgram()));
}

}  // namespace tarvo::desktop
