// The Conduits window: the HotSync order, each conduit on or off, Configure
// (the conduit's own sheet for a user), and the backup on or off.
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarvo::desktop {

class ConduitsWindow : public QWidget {
  Q_OBJECT
 public:
  ConduitsWindow();
  void refresh();
  QTreeWidget* list() { return list_; }
  QCheckBox* backup() { return backup_; }
  QString message() const;

 private:
  void switched(QTreeWidgetItem* item, int column);
  void backupSwitched(bool on);
  void configure();

  QTreeWidget* list_;
  QComboBox* users_;
  QCheckBox* backup_;
  QLabel* message_;
};

}  // namespace tarvo::desktop
