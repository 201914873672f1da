// Handing a `tarvo-hotsync sync` to this user's running HotSync manager.
#pragma once

#include <string>
#include <vector>

namespace tarvo::host {

// When a manager runs and takes the HotSync (`args`: the arguments after
// `sync`), it runs it with this process's standard input, output and
// error; *status is then its exit status and the result is true. False: no
// manager took it and nothing of it ran: run it here.
bool handSyncToManager(const std::vector<std::string>& args, int* status);

}  // namespace tarvo::host
