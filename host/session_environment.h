// The user's desktop session as a HotSync sees it: which variables make a
// session, and where the manager finds the session of a HotSync that a
// handheld started (nobody called from a terminal to hand one).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tarvo::host {

using SessionEnvironment = std::map<std::string, std::string>;

// Whether a variable belongs to the desktop session a HotSync should see:
// the display, Wayland, the session bus, the session's XDG_* descriptions
// and the locale. The XDG folders of the user's files are not: they decide
// where the HotSync keeps its data, and the manager serves only its own.
bool isSessionVariable(const std::string& name);

// The session variables of an environment (`environ`).
SessionEnvironment sessionOf(char* const* env);

// A session someone can see windows in: a display or a Wayland socket.
bool hasDisplay(const SessionEnvironment& session);

// `base` with all of its session variables replaced by `session`'s, so a
// HotSync never mixes two sessions (an X display of one, a bus of another).
std::vector<std::string> environmentWithSession(char* const* base, const SessionEnvironment& session);

// The session variables in `systemctl --user show-environment`'s output:
// NAME=VALUE lines, a value with special characters quoted as $'...'.
SessionEnvironment parseShowEnvironment(const std::string& text);

// The session the systemd user manager holds now (what the desktop imported
// at log-in); empty when it cannot be asked.
SessionEnvironment systemdSession();

}  // namespace tarvo::host
