#include "handheld_writer.h"

#include "files.h"

namespace tarvo::test {

std::string DeviceConf::Text() const {
  std::string text = "user.name = " + userName + "\nuser.id = " + std::to_string(userId) + "\n";
  if (!osVersion.empty()) text += "os.version = " + osVersion + "\n";
  return text + extra;
}

void WriteDeviceConf(const std::filesystem::path& handheld, const DeviceConf& conf) {
  WriteFile(handheld / "device.conf", conf.Text());
}

std::filesystem::path WriteDatabase(const std::filesystem::path& handheld, const pdb::Database& db, int card,
                                    std::string file) {
  if (file.empty()) file = db.name + (db.isResourceDb() ? ".prc" : ".pdb");
  const auto path = handheld / ("card" + std::to_string(card)) / file;
  WriteFile(path, pdb::serialize(db));
  return path;
}

void WriteHandheld(const std::filesystem::path& handheld, const DeviceConf& conf,
                   const std::vector<pdb::Database>& card0) {
  WriteDeviceConf(handheld, conf);
  std::filesystem::create_directories(handheld / "card0");
  for (const auto& db : card0) WriteDatabase(handheld, db);
}

pdb::Database MakeDatabase(const std::string& name, const char* type, const char* creator,
                           std::vector<std::vector<uint8_t>> records) {
  pdb::Database db;
  db.name = name;
  db.type = pdb::fourCC(type);
  db.creator = pdb::fourCC(creator);
  db.version = 1;
  uint32_t id = 100;
  for (auto& data : records) db.records.push_back({0, id++, std::move(data)});
  return db;
}

}  // namespace tarvo::test
