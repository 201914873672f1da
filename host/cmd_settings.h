// The host's "settings" subcommand:
//   tarvo-hotsync settings list [SECTION]
//   tarvo-hotsync settings get SECTION KEY
//   tarvo-hotsync settings set [--int] SECTION KEY VALUE
//   tarvo-hotsync settings unset SECTION KEY
// argv[0] is "settings". Returns the process exit code (0 on success).
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "settings/settings_store.h"

namespace tarvo {

int settingsCommand(int argc, char** argv);

// Its options (settings reads its action words itself).
std::span<const cli::Option> settingsOptions();

// The same on a given store and streams (args without "settings"), with
// `users` as the HotSync users.
int settingsCommand(const std::vector<std::string>& args, const SettingsStore& store,
                    const std::vector<std::string>& users, std::ostream& out, std::ostream& err);

}  // namespace tarvo
