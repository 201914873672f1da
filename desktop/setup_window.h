// The Setup window: where handhelds call. Saving writes manager.conf and
// asks the manager to read it again.
#pragma once

#include <QWidget>

#include "desktop/connection_setup.h"
#include "desktop/manager_client.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QRadioButton;

namespace tarvo::desktop {

class SetupWindow : public QWidget {
  Q_OBJECT
 public:
  explicit SetupWindow(ManagerClient& client, const QString& dev = QStringLiteral("/dev"));
  void load();
  void save();
  QString message() const;
  // The form's parts, for tests.
  QCheckBox* usb() { return usb_; }
  QListWidget* serial() { return serial_; }
  // The speed of the port chosen in the list: 0 (the handheld's fastest) or a speed.
  QComboBox* speed() { return speed_; }
  QRadioButton* network(NetworkReach reach);

 private:
  void showProblems();

  ManagerClient& client_;
  QString dev_;
  ConnectionSetup setup_;
  QCheckBox* usb_;
  QListWidget* serial_;
  QComboBox* speed_;
  QRadioButton* off_;
  QRadioButton* thisMachine_;
  QRadioButton* localNetwork_;
  QLabel* warning_;
  QLabel* message_;
};

}  // namespace tarvo::desktop
