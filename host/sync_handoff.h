// Handing a `tarvo-hotsync sync` to this user's running HotSync manager.
#pragma once

namespace tarvo::host {

// When a manager runs and takes the HotSync, it runs it with this process's
// standard input, output and error; *status is then its exit status and
// the result is true. False: no manager took it, run it here.
bool handSyncToManager(int argc, char** argv, int* status);

}  // namespace tarvo::host
