// The XDG base folders every layer uses: an absolute variable wins, a
// relative one is invalid and ignored, and the home folder's usual places
// stand in for what is missing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "xdg/base_dirs.h"

namespace {

namespace fs = std::filesystem;

// Sets variables for one test and puts the old values back after it.
class Environment {
 public:
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  void set(const std::string& name, const char* value) {
    if (!saved_.contains(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      setenv(name.c_str(), value, 1);
    } else {
      unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(XdgBaseDirs, AbsoluteVariablesWinRelativeOnesFallBackToTheHomeFolder) {
  Environment env;
  env.set("HOME", "/home/ann");
  env.set("XDG_CONFIG_HOME", "/etc/ann");
  env.set("XDG_DATA_HOME", "relative/data");
  env.set("XDG_CACHE_HOME", nullptr);
  env.set("XDG_RUNTIME_DIR", "run");
  EXPECT_EQ(tarvo::xdg::configHome(), fs::path("/etc/ann"));
  EXPECT_EQ(tarvo::xdg::dataHome(), fs::path("/home/ann/.local/share"));
  EXPECT_EQ(tarvo::xdg::cacheHome(), fs::path("/home/ann/.cache"));
  EXPECT_TRUE(tarvo::xdg::runtimeDir().empty());
  env.set("XDG_RUNTIME_DIR", "/run/user/1000");
  EXPECT_EQ(tarvo::xdg::runtimeDir(), fs::path("/run/user/1000"));

  // A home folder that is not absolute, or none, never makes a relative path.
  for (const char* home : {"relative", "", static_cast<const char*>(nullptr)}) {
    env.set("HOME", home);
    EXPECT_TRUE(tarvo::xdg::homeFolder().is_absolute()) << (home ? home : "(unset)");
    EXPECT_TRUE(tarvo::xdg::dataHome().is_absolute());
  }
}

}  // namespace
