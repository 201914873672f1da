// Where the configuration exports find the handheld files the wizard queues.
#pragma once

#include <filesystem>

namespace tarvo::conduit {

// The product's data folder beside this library: the first of
// <lib>/../share/tarvo-sync, the installed data folder and <lib> itself that
// holds the handheld application; the first candidate when none does.
std::filesystem::path ProductDataDir();

}  // namespace tarvo::conduit
