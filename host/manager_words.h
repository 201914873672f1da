// The manager's state (docs/manager-protocol.md) in words for a person, as
// `manager --status` prints it; scripts take `--status --json`.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace tarvo::host {

// Several lines, each ending in '\n'. Fields the state lacks are left out,
// never guessed.
std::string stateInWords(const nlohmann::json& state);

}  // namespace tarvo::host
