// Asking this user's running HotSync manager from the command line:
// manager --status, --events and --reload print what it answers, as the
// JSON lines it sends.
#pragma once

#include <string>

namespace tarvo::host {

// Each returns the command's exit status: 0, or 1 with a line when no
// manager runs or it answers nothing sensible (--reload: 1 when the
// manager refused the settings file).
int printManagerStatus();
int printManagerEvents();
int requestManagerReload();

// When this user's manager waits for handhelds on `port` (as --port names
// it), the one line that says so and what to do; else empty.
std::string managerWaitsOn(const std::string& port);

}  // namespace tarvo::host
