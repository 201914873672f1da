// The manager in the desktop's status area (QSystemTrayIcon: the
// StatusNotifierItem or the XEmbed tray), with its menu. Where the desktop
// has no status area, the same picture, words and menu in a small window.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

#include "desktop/status_words.h"

class QLabel;
class QWidget;

namespace tarvo::desktop {

class StatusIcon : public QObject {
  Q_OBJECT
 public:
  // `tray`: false puts the small window up even where a tray exists (tests).
  explicit StatusIcon(bool tray = true);
  ~StatusIcon() override;

  void show(const Status& status);
  void setStartsAtLogin(bool on);
  bool inTray() const { return tray_ != nullptr; }
  QString toolTip() const { return toolTip_; }
  QMenu* menu() { return &menu_; }
  QWidget* window() { return window_.get(); }

 signals:
  void logWanted();
  void installWanted();
  void usersWanted();
  void setupWanted();
  void conduitsWanted();
  void startAtLoginToggled(bool on);
  void aboutWanted();
  void quitWanted();

 private:
  QMenu menu_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<QWidget> window_;
  QLabel* picture_ = nullptr;
  QLabel* words_ = nullptr;
  QAction* startAtLogin_ = nullptr;
  QString toolTip_;
};

}  // namespace tarvo::desktop
