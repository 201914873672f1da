// Asking this user's running HotSync manager from the command line:
// manager --status, --events and --reload print what it answers, as the
// JSON lines it sends; --session hands it the caller's desktop session.
#pragma once

#include <string>

namespace tarvo::host {

// Each returns the command's exit status: 0, or 1 with a line when no
// manager runs or it answers nothing sensible (--reload: 1 when the
// manager refused the settings file).
// --status: the state in words, or with `json` as the one JSON line it came as.
int printManagerStatus(bool json);
int printManagerEvents();
int requestManagerReload();
// Hands the manager this desktop session for the HotSyncs handhelds start
// (the three above do it too); 1 when no manager runs or there is no display.
int handManagerSession();

// For a wizard with no HotSync user yet: says to press HotSync on the
// handheld, follows the manager (started when none runs) until a HotSync
// ends that made a HotSync user, and sets *user to it. 0 then, 5 after
// Ctrl-C, 1 with a line when no manager runs or it quits first. With
// `notify`, the instruction also goes out as a desktop notification.
int waitForFirstHotSync(std::string* user, bool notify);

// When this user's manager waits for handhelds on `port` (as --port names
// it), the one line that says so and what to do; else empty.
std::string managerWaitsOn(const std::string& port);

}  // namespace tarvo::host
