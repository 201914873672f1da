// The manager's state (docs/manager-protocol.md) in words for a person, as
// `manager --status` and `--reload` print it; scripts take `--status --json`.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace tarvo::host {

// Several lines, each ending in '\n'. Fields the state lacks are left out,
// never guessed.
std::string stateInWords(const nlohmann::json& state);

// The ports the manager watches, a line each (and a remedy line for one it
// cannot use), as the state and a reload's reply list them.
std::string portsInWords(const nlohmann::json& ports);

}  // namespace tarvo::host
