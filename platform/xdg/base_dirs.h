// The XDG base folders the programs and libraries keep their files in. An
// XDG variable counts only when it holds an absolute path (a relative one
// is invalid and ignored); otherwise the usual folder under the home folder.
#pragma once

#include <filesystem>

namespace tarvo::xdg {

// $HOME when absolute, else the password database's home folder, else "/".
std::filesystem::path homeFolder();

std::filesystem::path configHome();  // $XDG_CONFIG_HOME or ~/.config
std::filesystem::path dataHome();    // $XDG_DATA_HOME or ~/.local/share
std::filesystem::path cacheHome();   // $XDG_CACHE_HOME or ~/.cache
// $XDG_RUNTIME_DIR; empty when unset or not absolute (there is no default).
std::filesystem::path runtimeDir();

}  // namespace tarvo::xdg
