// Running the conduits of one HotSync on the connected handheld.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace tarvo::host {

// Runs the conduit `explicitConduit` when given, else every registered
// conduit in order (see conduitOrder) whose creator has a database on the
// handheld or that always runs. Each gets the same handheld through its
// OpenConduit, with a start and an end entry in the desktop log; one that
// fails, throws through its export or cannot be loaded is logged and the
// next one runs. Returns the exit status; *handled gets the creators of
// the conduits that ran, whose databases the backup leaves to them.
int runConduits(const std::string& explicitConduit, const std::string& user, std::set<uint32_t>* handled);

}  // namespace tarvo::host
