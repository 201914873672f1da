// Where the configuration exports find what they need around them: the
// front end that shows the sheet and the wizard, and the folder with the
// handheld files the wizard queues.
#pragma once

#include <filesystem>
#include <memory>

#include "ui/config_front_end.h"

namespace tarvo::conduit {

// A window when a display is present (and TARVO_NO_GUI is not set), else
// the controlling terminal, else nobody (TARVO_NO_TTY=1 forces the last).
std::unique_ptr<ConfigFrontEnd> ChooseConfigFrontEnd();

// The product's data folder beside this library: the first of
// <lib>/../share/tarvo-sync, the installed data folder and <lib> itself that
// holds the handheld application; the first candidate when none does.
std::filesystem::path ProductDataDir();

}  // namespace tarvo::conduit
