// Starting the status icon at log-in: one XDG autostart entry of the user's
// own, $XDG_CONFIG_HOME/autostart/tarvo-hotsync-manager.desktop. Turned off,
// the entry stays with Hidden=true, so the choice is kept.
#pragma once

#include <QString>

namespace tarvo::desktop {

QString autostartFile();
bool startsAtLogin();
// `program`: what the entry starts (this program's own path). False with
// *error when the entry cannot be written.
bool setStartAtLogin(bool on, const QString& program, QString* error);
// The first start of the program turns it on: the icon is there at the next
// log-in without a setting to find. A choice already made is kept.
void startAtLoginUnlessChosen(const QString& program);

}  // namespace tarvo::desktop
