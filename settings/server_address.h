// Checking a sync server's address where a person types it (the settings
// command, login --server). Values already stored are read as the conduit
// reads them, whatever they hold.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::settings {

// What is wrong with `address` as a sync server's address, in a few words;
// empty when it is an http:// or https:// address with a host.
std::string ServerAddressProblem(std::string_view address);

}  // namespace tarvo::settings
