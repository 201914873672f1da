// The host's "settings" subcommand:
//   tarvo-hotsync settings list [SECTION]
//   tarvo-hotsync settings get SECTION KEY
//   tarvo-hotsync settings set [--int] SECTION KEY VALUE
// argv[0] is "settings". Returns the process exit code (0 on success).
#pragma once

namespace tarvo {

int settingsCommand(int argc, char** argv);

}  // namespace tarvo
