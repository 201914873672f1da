// The desktop shell's "open" for the conduit: web addresses in the user's
// browser, downloaded installers with whatever the desktop runs them with.
#pragma once

#include <sys/types.h>

#include <string>

namespace tarvo::engine {

// The program that opens things: $TARVO_OPENER when set and not empty,
// otherwise xdg-open (found on PATH).
std::string OpenerProgram();

// Starts the opener with `target` (UTF-8) as its only argument, through
// posix_spawnp and an argument vector, never a shell. The child gets its own
// process group (a Ctrl-C meant for the sync does not reach it), default
// signal handling and no descriptors but 0, 1 and 2. Does not wait for it;
// finished openers are reaped by later calls. Returns the child's process
// id, or -1 when it could not be started.
pid_t ShellOpen(const std::string& target);

// True for an address the conduit lets the browser open: "http://" or
// "https://" (either case) followed by something, and no control characters.
bool IsWebAddress(const std::string& url);

}  // namespace tarvo::engine
