// A private world for engine and conduit tests: XDG folders in a temp
// folder and a simulated handheld built from real database files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "files.h"
#include "scripted_server.h"
#include "xdg_world.h"

namespace tarvo::test {

struct TestModule {
  std::string name;
  std::string type = "DATA";
  std::string serverUrl;  // empty: no parameter block
};

// The temp folder and the XDG variables pointing into it; undone on destruction.
class TempWorld : public XdgWorld {
 public:
  TempWorld() : XdgWorld("tarvo-core") {}

  // Writes a handheld folder: device.conf and card0 with the modules.
  std::filesystem::path MakeHandheld(const std::string& userName, uint32_t userId,
                                     const std::vector<TestModule>& modules);
  std::filesystem::path cacheHome() const { return root() / "cache"; }
};

}  // namespace tarvo::test
