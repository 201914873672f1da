// Running a helper program of the desktop (systemctl, gdbus) without a shell.
#pragma once

#include <string>
#include <vector>

namespace tarvo::host {

// Runs `args` (the program looked up in PATH) with no standard input and
// standard error discarded, waits for it and returns its standard output;
// empty when it cannot run or fails.
std::string outputOf(std::vector<std::string> args);

}  // namespace tarvo::host
