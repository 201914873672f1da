// The HotSync log window: a user's HotSyncs as groups of entries, failures
// marked; it follows new HotSyncs while it is open; copy and save as text.
#pragma once

#include <QWidget>
#include <map>
#include <vector>

#include "desktop/log_model.h"

class QComboBox;
class QPlainTextEdit;
class QLabel;
class QTreeWidget;

namespace tarvo::desktop {

class LogWindow : public QWidget {
  Q_OBJECT
 public:
  LogWindow();
  // Reads the log again (after a HotSync's step) and keeps the user shown.
  void reload();
  // Shows `user`'s log with its last HotSync open.
  void showUser(const QString& user);
  QString currentUser() const;
  QString text() const;  // what Copy and Save give
  QTreeWidget* tree() { return tree_; }
  // The handheld's own log of the shown user, as its last HotSync left it.
  QPlainTextEdit* handheld() { return handheld_; }

 private:
  void fill();
  void save();

  QComboBox* users_;
  QTreeWidget* tree_;
  QPlainTextEdit* handheld_;
  QLabel* problem_;
  std::map<QString, std::vector<LogGroup>> groups_;
  std::map<QString, QStringList> handheldLogs_;
};

}  // namespace tarvo::desktop
