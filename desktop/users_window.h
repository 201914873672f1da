// The Users and backups window: each HotSync user with its queue, last
// HotSync and backup; delete a user (asks; the backups stay unless told),
// restore a user's backup onto the handheld at its next HotSync.
#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QProcess;
class QPushButton;
class QTreeWidget;

namespace tarvo::desktop {

class ManagerWatch;

class UsersWindow : public QWidget {
  Q_OBJECT
 public:
  explicit UsersWindow(const ManagerWatch& watch);
  ~UsersWindow() override;
  void refresh();
  // Deletes the selected user without asking (the button asks first).
  bool deleteSelected(bool withBackups);
  QTreeWidget* list() { return list_; }
  QString message() const;

 private:
  void askDelete();
  void restore();

  const ManagerWatch& watch_;
  QTreeWidget* list_;
  QLabel* message_;
  QPushButton* restoreButton_;
  std::unique_ptr<QProcess> restoring_;
};

}  // namespace tarvo::desktop
