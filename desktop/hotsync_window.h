// The HotSync window: one HotSync's steps, its bar and a Cancel that goes
// to the manager. It shows what its HotSyncSteps holds and nothing else.
#pragma once

#include <QWidget>

#include "desktop/hotsync_steps.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace tarvo::desktop {

class HotSyncWindow : public QWidget {
  Q_OBJECT
 public:
  HotSyncWindow();
  // Takes one event of the manager's stream; shows the window when a
  // HotSync starts.
  void take(const QJsonObject& event);
  // The manager's answer to the Cancel sent for `hotsync`.
  void cancelAnswered(const QJsonObject& reply);
  const HotSyncSteps& steps() const { return steps_; }
  QListWidget* list() { return list_; }
  QPushButton* cancelButton() { return cancel_; }

 signals:
  // Cancel was pressed during HotSync `hotsync`.
  void cancelWanted(int hotsync);

 private:
  void showSteps();

  HotSyncSteps steps_;
  QLabel* title_;
  QListWidget* list_;
  QProgressBar* bar_;
  QLabel* words_;
  QPushButton* cancel_;
  QPushButton* close_;
};

}  // namespace tarvo::desktop
