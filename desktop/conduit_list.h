// The conduits as the Conduits window shows them, in HotSync order, read
// from `tarvo-hotsync conduits --json` and turned on or off through it, so the
// window and the command line keep one list.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace tarvo::desktop {

struct ConduitRow {
  QString creator;
  QString name;  // the registration's name, else the creator
  int priority = 2;
  bool always = false;
  bool off = false;
  QString next;  // what it does at the next HotSync, in the command's words
};

// Reads the command's JSON lines, one conduit each in HotSync order.
std::vector<ConduitRow> parseConduits(const QByteArray& jsonLines);
// Runs the command; *error says why when it fails.
std::vector<ConduitRow> conduits(QString* error);
bool setConduitOn(const QString& creator, bool on, QString* error);

}  // namespace tarvo::desktop
