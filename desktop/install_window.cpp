#include "desktop/install_window.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desktop/install_queue.h"

namespace tarvo::desktop {

InstallWindow::InstallWindow() : users_(new QComboBox), queue_(new QTreeWidget), message_(new QLabel) {
  setWindowTitle(tr("Install"));
  setAcceptDrops(true);
  resize(560, 360);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* userLabel = new QLabel(tr("&User:"));
  userLabel->setBuddy(users_);
  // A name not yet a HotSync user is made one, as install --create does.
  users_->setEditable(true);
  top->addWidget(userLabel);
  top->addWidget(users_, 1);
  layout->addLayout(top);
  layout->addWidget(
      new QLabel(tr("Drop .prc, .pdb and .pqa files here; they are installed at the user's next HotSync.")));
  queue_->setHeaderLabels({tr("File"), tr("Name"), tr("Type"), tr("Size")});
  queue_->setRootIsDecorated(false);
  queue_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  queue_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  layout->addWidget(queue_, 1);
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(message_);
  auto* buttons = new QDialogButtonBox;
  QPushButton* add = buttons->addButton(tr("&Add..."), QDialogButtonBox::ActionRole);
  QPushButton* remove = buttons->addButton(tr("&Remove"), QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  connect(add, &QPushButton::clicked, this, &InstallWindow::pick);
  connect(remove, &QPushButton::clicked, this, &InstallWindow::removeSelected);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  connect(users_, &QComboBox::currentTextChanged, this, &InstallWindow::showQueue);
  refresh();
}

void InstallWindow::refresh() {
  const QString shown = users_->currentText();
  {
    const QSignalBlocker quiet(users_);
    users_->clear();
    users_->addItems(hotSyncUsers());
    if (!shown.isEmpty()) users_->setCurrentText(shown);
  }
  showQueue();
}

void InstallWindow::setUser(const QString& user) { users_->setCurrentText(user); }

QString InstallWindow::message() const { return message_->text(); }

void InstallWindow::showQueue() {
  queue_->clear();
  const QString user = users_->currentText();
  if (user.isEmpty()) return;
  for (const QueuedEntry& entry : queueOf(user)) {
    auto* item = new QTreeWidgetItem(queue_);
    item->setText(0, entry.file);
    item->setText(1, entry.database.isEmpty() ? tr("(not a Palm database)") : entry.database);
    item->setText(2, entry.type);
    item->setText(3, QLocale().formattedDataSize(entry.bytes));
    item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
  }
}

void InstallWindow::addFiles(const QStringList& files) {
  const QString user = users_->currentText().trimmed();
  if (user.isEmpty()) {
    message_->setText(tr("Choose the user whose handheld gets the files first."));
    return;
  }
  const QueueOutcome outcome = queueFiles(user, files);
  QStringList lines;
  if (!outcome.queued.isEmpty())
    lines << (outcome.queued.size() == 1
                  ? tr("1 file queued for %1's next HotSync.").arg(user)
                  : tr("%1 files queued for %2's next HotSync.").arg(outcome.queued.size()).arg(user));
  for (const QString& refused : outcome.refused) lines << tr("Refused: %1").arg(refused);
  message_->setText(lines.join(QLatin1Char('\n')));
  refresh();
  setUser(user);
}

void InstallWindow::removeSelected() {
  const QString user = users_->currentText();
  QStringList problems;
  for (QTreeWidgetItem* item : queue_->selectedItems()) {
    QString error;
    if (!removeQueued(user, item->text(0), &error)) problems << error;
  }
  message_->setText(problems.join(QLatin1Char('\n')));
  showQueue();
}

void InstallWindow::pick() {
  const QStringList files = QFileDialog::getOpenFileNames(this, tr("Install"), QString(),
                                                          tr("Palm databases (*.prc *.pdb *.pqa);;All files (*)"));
  if (!files.isEmpty()) addFiles(files);
}

void InstallWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

QStringList InstallWindow::droppedFiles(const QMimeData& data) {
  QStringList files;
  for (const QUrl& url : data.urls())
    if (url.isLocalFile()) files << url.toLocalFile();
  return files;
}

void InstallWindow::dropEvent(QDropEvent* event) {
  const QStringList files = droppedFiles(*event->mimeData());
  event->acceptProposedAction();
  if (!files.isEmpty()) addFiles(files);
}

}  // namespace tarvo::desktop
