// The conduits as the Conduits window shows them, in HotSync order, read
// from `tarvo-hotsync conduits` and turned on or off through it, so the
// window and the command line keep one list.
#pragma once

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

// Parses the command's "HotSync order:" section and the registrations above it.
std::vector<ConduitRow> parseConduits(const QString& listing);
// Runs the command; *error says why when it fails.
std::vector<ConduitRow> conduits(QString* error);
bool setConduitOn(const QString& creator, bool on, QString* error);

}  // namespace tarvo::desktop
