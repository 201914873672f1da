// The host's "settings" command, which reads its own words (its usage is in
// its entry of the command table, host::kSettingsCommand).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "settings/settings_store.h"

namespace tarvo {

// The same on a given store and streams (args without "settings"), with
// `users` as the HotSync users.
int settingsCommand(const std::vector<std::string>& args, const SettingsStore& store,
                    const std::vector<std::string>& users, std::ostream& out, std::ostream& err);

}  // namespace tarvo
