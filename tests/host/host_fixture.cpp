#include "host_fixture.h"

#include "files.h"
#include "handheld_writer.h"
#include "pdb/pdb.h"

namespace tarvo::test {

void HostTest::SetUp() {
  ASSERT_FALSE(root_.empty());
  dataHome_ = root_ / "data";
  handheld_ = root_ / "handheld";
  runtime_ = root_ / "run";
  std::filesystem::create_directories(runtime_);
  std::filesystem::copy(TARVO_EXAMPLE_HANDHELD, handheld_, std::filesystem::copy_options::recursive);
}

ProgramResult HostTest::host(const std::vector<std::string>& args, const std::map<std::string, std::string>& extraEnv) {
  return runProgram(TARVO_HOST_BIN, args, hostEnv(extraEnv));
}

std::map<std::string, std::string> HostTest::hostEnv(const std::map<std::string, std::string>& extraEnv) const {
  std::map<std::string, std::string> env = {
      {"XDG_DATA_HOME", dataHome_.string()},
      {"XDG_CONFIG_HOME", (root_ / "config").string()},
      {"XDG_CACHE_HOME", (root_ / "cache").string()},
      {"HOME", root_.string()},
      // Never the real session's: a HotSync manager running there must not
      // be handed a test's HotSync.
      {"XDG_RUNTIME_DIR", runtime_.string()},
  };
  for (const auto& [key, value] : extraEnv) env[key] = value;
  return env;
}

std::filesystem::path HostTest::writeDatabase(const std::filesystem::path& path, const std::string& name,
                                              const std::vector<std::string>& records) {
  std::vector<std::vector<uint8_t>> data;
  for (const std::string& text : records) data.push_back(BytesOf(text));
  WriteFile(path, pdb::serialize(MakeDatabase(name, "DATA", "test", std::move(data))));
  return path;
}

}  // namespace tarvo::test
