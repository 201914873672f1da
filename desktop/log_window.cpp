#include "desktop/log_window.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "desktop/host_command.h"

namespace tarvo::desktop {

LogWindow::LogWindow()
    : users_(new QComboBox), tree_(new QTreeWidget), handheld_(new QPlainTextEdit), problem_(new QLabel) {
  setWindowTitle(tr("HotSync log"));
  resize(720, 480);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* userLabel = new QLabel(tr("&User:"));
  userLabel->setBuddy(users_);
  top->addWidget(userLabel);
  top->addWidget(users_, 1);
  layout->addLayout(top);
  tree_->setHeaderLabels({tr("Time"), tr("Code"), tr("Entry")});
  tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  tree_->setAlternatingRowColors(true);
  // The handheld's own log beside the desktop's.
  auto* split = new QSplitter;
  split->addWidget(tree_);
  auto* handheldSide = new QWidget;
  auto* handheldLayout = new QVBoxLayout(handheldSide);
  handheldLayout->setContentsMargins(0, 0, 0, 0);
  handheldLayout->addWidget(new QLabel(tr("On the handheld (its last HotSync):")));
  handheld_->setReadOnly(true);
  handheldLayout->addWidget(handheld_, 1);
  split->addWidget(handheldSide);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  layout->addWidget(split, 1);
  problem_->setWordWrap(true);
  problem_->hide();
  layout->addWidget(problem_);
  auto* buttons = new QDialogButtonBox;
  QPushButton* copy = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
  QPushButton* saveButton = buttons->addButton(tr("&Save..."), QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(text()); });
  connect(saveButton, &QPushButton::clicked, this, &LogWindow::save);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  connect(users_, &QComboBox::currentTextChanged, this, &LogWindow::fill);
  reload();
}

void LogWindow::reload() {
  const HostResult result = runHost({QStringLiteral("log"), QStringLiteral("--json")});
  problem_->setVisible(!result.ran || result.status != 0);
  problem_->setText(tr("The log could not be read: %1").arg(result.error));
  groups_ = groupLog(result.out);
  handheldLogs_ = handheldLogs(result.out);
  const QString shown = users_->currentText();
  {
    const QSignalBlocker quiet(users_);
    users_->clear();
    for (const auto& [user, groups] : groups_) users_->addItem(user);
    if (!shown.isEmpty() && users_->findText(shown) >= 0) users_->setCurrentText(shown);
  }
  fill();
}

void LogWindow::showUser(const QString& user) {
  if (users_->findText(user) >= 0) users_->setCurrentText(user);
}

QString LogWindow::currentUser() const { return users_->currentText(); }

void LogWindow::fill() {
  tree_->clear();
  const auto kept = handheldLogs_.find(users_->currentText());
  handheld_->setPlainText(kept == handheldLogs_.end() ? QString() : kept->second.join(QLatin1Char('\n')));
  const auto at = groups_.find(users_->currentText());
  if (at == groups_.end()) return;
  const QIcon failedIcon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
  QTreeWidgetItem* last = nullptr;
  for (const LogGroup& group : at->second) {
    auto* item = new QTreeWidgetItem(tree_);
    item->setText(0, group.start());
    item->setText(
        2, group.failed ? tr("HotSync until %1: failed").arg(group.end()) : tr("HotSync until %1").arg(group.end()));
    if (group.failed) item->setIcon(0, failedIcon);
    for (const LogLine& line : group.lines) {
      auto* entry = new QTreeWidgetItem(item);
      entry->setText(0, line.time);
      entry->setText(1, line.word.isEmpty() ? QString::number(line.activity)
                                            : QStringLiteral("%1 %2").arg(line.activity).arg(line.word));
      entry->setText(2, line.text);
      if (line.failure) {
        entry->setIcon(0, failedIcon);
        QFont bold = entry->font(2);
        bold.setBold(true);
        entry->setFont(2, bold);
      }
    }
    last = item;
  }
  // The newest HotSync open and in sight: it is what the user came for.
  if (last) {
    last->setExpanded(true);
    tree_->scrollToItem(last->child(last->childCount() - 1));
  }
}

QString LogWindow::text() const {
  const auto at = groups_.find(users_->currentText());
  return at == groups_.end() ? QString() : logText(at->first, at->second);
}

void LogWindow::save() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save the HotSync log"),
                                                    tr("HotSync log of %1.txt").arg(users_->currentText()));
  if (path.isEmpty()) return;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text().toUtf8()) < 0 || !file.commit())
    QMessageBox::warning(this, tr("Save the HotSync log"), path + QStringLiteral(": ") + file.errorString());
}

}  // namespace tarvo::desktop
