// The Install window: Palm databases dropped on it or picked are queued for
// the chosen user's next HotSync; the queue shows with names, types and
// sizes, and entries can be taken out.
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QMimeData;
class QTreeWidget;

namespace tarvo::desktop {

class InstallWindow : public QWidget {
  Q_OBJECT
 public:
  InstallWindow();
  void addFiles(const QStringList& files);
  // The local files a drop carries.
  static QStringList droppedFiles(const QMimeData& data);
  void removeSelected();
  void setUser(const QString& user);
  void refresh();
  QTreeWidget* queue() { return queue_; }
  QString message() const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void pick();
  void showQueue();

  QComboBox* users_;
  QTreeWidget* queue_;
  QLabel* message_;
};

}  // namespace tarvo::desktop
