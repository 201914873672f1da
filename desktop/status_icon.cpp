#include "desktop/status_icon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

#include "desktop/app_icon.h"

namespace tarvo::desktop {

StatusIcon::StatusIcon(bool tray) {
  menu_.addAction(tr("HotSync &log"), this, &StatusIcon::logWanted);
  menu_.addAction(tr("&Install..."), this, &StatusIcon::installWanted);
  menu_.addAction(tr("&Users and backups"), this, &StatusIcon::usersWanted);
  menu_.addAction(tr("&Setup..."), this, &StatusIcon::setupWanted);
  menu_.addAction(tr("&Conduits..."), this, &StatusIcon::conduitsWanted);
  menu_.addSeparator();
  startAtLogin_ = menu_.addAction(tr("Start at l&ogin"));
  startAtLogin_->setCheckable(true);
  connect(startAtLogin_, &QAction::toggled, this, &StatusIcon::startAtLoginToggled);
  menu_.addAction(tr("&About"), this, &StatusIcon::aboutWanted);
  menu_.addAction(tr("&Quit"), this, &StatusIcon::quitWanted);

  if (tray && QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_ = std::make_unique<QSystemTrayIcon>(appIcon());
    tray_->setContextMenu(&menu_);
    connect(tray_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
      if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) emit logWanted();
    });
    tray_->show();
    return;
  }
  // Said once, where a person starting it from a terminal sees it.
  if (tray) std::fputs("tarvo-hotsync-manager-ui: this desktop has no status area; showing a window instead\n", stderr);
  window_ = std::make_unique<QWidget>();
  window_->setWindowTitle(tr("Tarvo HotSync Manager"));
  window_->setWindowIcon(appIcon());
  auto* layout = new QVBoxLayout(window_.get());
  layout->setSizeConstraint(QLayout::SetFixedSize);  // always as large as its words
  auto* row = new QHBoxLayout;
  picture_ = new QLabel;
  words_ = new QLabel;
  words_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  row->addWidget(picture_, 0, Qt::AlignTop);
  row->addWidget(words_, 1);
  layout->addLayout(row);
  auto* note = new QLabel(tr("This desktop has no status area, so the HotSync manager shows here."));
  layout->addWidget(note);
  auto* button = new QToolButton;
  button->setText(tr("&Menu"));
  button->setMenu(&menu_);
  button->setPopupMode(QToolButton::InstantPopup);
  layout->addWidget(button, 0, Qt::AlignRight);
  window_->show();
}

StatusIcon::~StatusIcon() = default;

void StatusIcon::show(const Status& status) {
  toolTip_ = status.tooltip;
  const QIcon icon = statusIcon(status.kind);
  if (tray_) {
    tray_->setIcon(icon);
    tray_->setToolTip(status.tooltip);
  } else {
    picture_->setPixmap(icon.pixmap(48));
    words_->setText(status.tooltip);
  }
}

void StatusIcon::setStartsAtLogin(bool on) {
  const QSignalBlocker quiet(startAtLogin_);
  startAtLogin_->setChecked(on);
}

}  // namespace tarvo::desktop
