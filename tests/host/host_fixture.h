// A private world for each host test: XDG folders in a temp folder and a
// fresh copy of the example handheld.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "run_program.h"
#include "temp_folder.h"

namespace tarvo::test {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Runs tarvo-hotsync with the test's XDG folders and `extraEnv`.
  ProgramResult host(const std::vector<std::string>& args, const std::map<std::string, std::string>& extraEnv = {});
  // The environment host() runs it with.
  std::map<std::string, std::string> hostEnv(const std::map<std::string, std::string>& extraEnv = {}) const;

  // Writes a small record database with the given name and records.
  std::filesystem::path writeDatabase(const std::filesystem::path& path, const std::string& name,
                                      const std::vector<std::string>& records);

  TempFolder temp_{"tarvo-host"};
  std::filesystem::path root_ = temp_.path();
  std::filesystem::path handheld_;  // root_/handheld, a copy of the example
  std::filesystem::path dataHome_;  // XDG_DATA_HOME
  std::filesystem::path runtime_;   // XDG_RUNTIME_DIR
};

}  // namespace tarvo::test
