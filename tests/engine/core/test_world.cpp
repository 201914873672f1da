#include "test_world.h"

#include "handheld_writer.h"
#include "pdb/pdb.h"

namespace fs = std::filesystem;

namespace tarvo::test {
fs::path TempWorld::MakeHandheld(const std::string& userName, uint32_t userId, const std::vector<TestModule>& modules) {
  const fs::path dir = root() / "handheld";
  fs::create_directories(dir / "card0");
  WriteDeviceConf(dir, {userName, userId, "4.1", "feature.psys.2 = 0x00030000\n"});
  int n = 0;
  for (const TestModule& module : modules) {
    pdb::Database db;
    db.name = module.name;
    db.type = pdb::fourCC(module.type.c_str());
    db.creator = pdb::fourCC("Tarv");
    db.version = 1;
    pdb::Record content;
    content.uniqueId = 1;
    content.data = {'h', 'i', 0};
    db.records.push_back(content);
    if (!module.serverUrl.empty()) {
      const std::string block = "ZembraParameterBlock|__tarvo_sync_server:" + module.serverUrl + ";";
      pdb::Record parameters;
      parameters.uniqueId = 2;
      // A 4-byte header, then the zero-terminated block.
      const std::string bytes = std::string(4, '\0') + block + '\0';
      parameters.data.assign(bytes.begin(), bytes.end());
      db.records.push_back(parameters);
    }
    WriteDatabase(dir, db, 0, "module" + std::to_string(n++) + ".pdb");
  }
  return dir;
}

}  // namespace tarvo::test
