// A private temp folder with XDG_DATA_HOME, XDG_CONFIG_HOME and
// XDG_CACHE_HOME pointing into it, so nothing a test runs touches the real
// user's folders; the variables are unset and the folder removed at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "temp_folder.h"

namespace tarvo::test {

class XdgWorld {
 public:
  explicit XdgWorld(const std::string& prefix) : folder_(prefix) {
    setenv("XDG_DATA_HOME", (root() / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root() / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root() / "cache").c_str(), 1);
  }
  ~XdgWorld() {
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) unsetenv(name);
  }
  XdgWorld(const XdgWorld&) = delete;
  XdgWorld& operator=(const XdgWorld&) = delete;
  const std::filesystem::path& root() const { return folder_.path(); }

 private:
  TempFolder folder_;
};

}  // namespace tarvo::test
