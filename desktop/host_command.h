// Runs the host's own commands (`tarvo-hotsync log --json`, `install`), so
// the windows give exactly the answers the command line gives.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tarvo::desktop {

struct HostResult {
  bool ran = false;  // the program started and ended by itself
  int status = -1;   // its exit status
  QByteArray out;
  QString error;  // its error line, or why it did not run
};

// The tarvo-hotsync beside this program (the same installation), else the
// one on PATH.
QString hostProgram();

// Runs `tarvo-hotsync ARGS`; a command that has not ended within a minute is
// stopped and reported, so a window never waits for ever.
HostResult runHost(const QStringList& args);

// Starts `tarvo-hotsync ARGS` and lets it run on its own, its output unread.
void startHost(const QStringList& args);

}  // namespace tarvo::desktop
