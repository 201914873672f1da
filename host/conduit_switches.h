// What the user chose about conduits, kept apart from the registrations
// (a conduit's own registration rewrites those, and a choice must outlive
// it): a conduit turned off, and the product's conduit unregistered, after
// which the library beside the host no longer stands in for it.
#pragma once

#include <set>
#include <string>

namespace tarvo::host {

struct ConduitSwitches {
  std::set<std::string> off;           // creators turned off with conduits --disable
  std::set<std::string> unregistered;  // creators whose registration the user removed
};

// Reads the user's choices; a missing file is no choice at all. False with
// *error when the file is there but cannot be read.
bool readConduitSwitches(ConduitSwitches* switches, std::string* error);
// Replaces the file in one step. False with *error.
bool writeConduitSwitches(const ConduitSwitches& switches, std::string* error);

}  // namespace tarvo::host
