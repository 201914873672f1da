// The host's conduit registrations: creator -> named values, in one text
// file of the data folder, replaced atomically on every change.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace hotsync::detail {

using Registration = std::map<std::string, std::string>;    // key -> value
using Registrations = std::map<std::string, Registration>;  // creator -> values

// nullopt when the file exists but cannot be read.
std::optional<Registrations> loadRegistrations();
bool saveRegistrations(const Registrations& all);

}  // namespace hotsync::detail
