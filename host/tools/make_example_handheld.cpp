// Writes the example handheld: device.conf and card0 with the product's
// application and one data module. The module names no sync server of its
// own, so the `syncserver` setting says where it syncs (the demo points it
// at the server it starts, whatever port that got). Fixed dates and ids make
// the files reproducible.
//
//   tarvo-make-example-handheld DIR
//   tarvo-make-example-handheld --notes FILE         the notes database the demo server collects
//   tarvo-make-example-handheld --news-edition FILE  a later edition of the data module
//   tarvo-make-example-handheld --prefs FILE         the application's preferences database
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "pdb/pdb.h"

namespace {

// 2024-01-01 00:00:00 in seconds since 1904.
constexpr uint32_t kDate = 3786912000u;

std::vector<uint8_t> bytes(const std::string& text, bool terminate) {
  std::vector<uint8_t> out(text.begin(), text.end());
  if (terminate) out.push_back(0);
  return out;
}

// The last record of a module: a 4-byte header, then the parameter block.
std::vector<uint8_t> parameterRecord(const std::string& block) {
  std::vector<uint8_t> out = {0, 0, 0, 1};
  const std::vector<uint8_t> text = bytes(block, true);
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

pdb::Database baseDatabase(const std::string& name, const char* type, uint16_t attributes) {
  pdb::Database db;
  db.name = name;
  db.attributes = attributes;
  db.version = 1;
  db.creationDate = kDate;
  db.modificationDate = kDate;
  db.type = pdb::fourCC(type);
  db.creator = pdb::fourCC("Tarv");
  return db;
}

pdb::Database application() {
  pdb::Database db = baseDatabase("Tarvo", "appl", pdb::kAttrResourceDb | pdb::kAttrBackup);
  db.version = 3;
  db.resources.push_back({pdb::fourCC("tAIN"), 1000, bytes("Tarvo", true)});
  db.resources.push_back({pdb::fourCC("tver"), 1000, bytes("1.0.1", true)});
  db.resources.push_back({pdb::fourCC("code"), 1, {0x4E, 0x75}});  // rts: a placeholder
  return db;
}

pdb::Database newsModule() {
  pdb::Database db = baseDatabase("Tarvo News", "DATA", pdb::kAttrBackup);
  db.uniqueIdSeed = 4;
  db.records.push_back({0, 1, bytes("Tarvo News\nWelcome to the demo handheld.", true)});
  db.records.push_back({0, 2, bytes("Edition 1: fresh content arrives at each HotSync.", true)});
  db.records.push_back({0, 3,
                        parameterRecord("ZembraParameterBlock|"
                                        "__tarvo_sync_caption:Tarvo News;"
                                        "__tarvo_timestamp:20240101000000;")});
  return db;
}

// The edition the demo catalogue offers: same name, newer timestamp.
pdb::Database newsEdition() {
  pdb::Database db = baseDatabase("Tarvo News", "DATA", pdb::kAttrBackup);
  db.version = 2;
  db.modificationDate = kDate + 152 * 86400;  // 2024-06-01
  db.uniqueIdSeed = 5;
  db.records.push_back({0, 1, bytes("Tarvo News\nEdition 2, June 2024.", true)});
  db.records.push_back({0, 2, bytes("The content service sent this edition at the first HotSync.", true)});
  db.records.push_back({0, 3, bytes("It reached the handheld through the install queue at the second.", true)});
  db.records.push_back({0, 4,
                        parameterRecord("ZembraParameterBlock|"
                                        "__tarvo_sync_caption:Tarvo News;"
                                        "__tarvo_timestamp:20240601000000;")});
  return db;
}

// Notes written on the handheld, which the demo server collects. Its type is
// neither "appl" nor "DATA", so the conduit reports it by name only.
pdb::Database notes() {
  pdb::Database db = baseDatabase("Tarvo Notes", "Note", pdb::kAttrBackup);
  db.uniqueIdSeed = 3;
  db.records.push_back({0, 1, bytes("Buy milk", true)});
  db.records.push_back({0, 2, bytes("Call Ana about the June issue", true)});
  return db;
}

// The preferences the application starts with, which the first-run wizard
// queues beside it: one record of "key=value" lines.
pdb::Database preferences() {
  pdb::Database db = baseDatabase("Tarvo Prefs", "pref", pdb::kAttrBackup);
  db.uniqueIdSeed = 2;
  db.records.push_back({0, 1, bytes("version=1\nshowNews=1\nsortBy=date\n", true)});
  return db;
}

constexpr const char* kDeviceConf =
    "# The demo handheld of Tarvo Sync (made by tarvo-make-example-handheld).\n"
    "user.name = Demo User\n"
    "user.id = 1001\n"
    "os.version = 4.1\n"
    "# Processor feature: an ARM device.\n"
    "feature.psys.2 = 8\n";

}  // namespace

constexpr const char* kUsage =
    "usage: tarvo-make-example-handheld DIR | --notes FILE | --news-edition FILE | --prefs FILE\n"
    "\n"
    "Writes the example handheld into DIR (device.conf, card0/Tarvo.prc and\n"
    "card0/Tarvo_News.pdb), or one of the demo's extra databases into FILE:\n"
    "  --notes         the notes database Tarvo Notes\n"
    "  --news-edition  a later edition of Tarvo News\n"
    "  --prefs         the application's preferences database\n";

int main(int argc, char** argv) {
  const std::string first = argc >= 2 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const std::string option = argc == 3 ? first : "";
  // A DIR that looks like an option is a mistake, not a folder to make.
  if ((argc != 2 || first.rfind('-', 0) == 0) && option != "--notes" && option != "--news-edition" &&
      option != "--prefs") {
    std::fputs(kUsage, stderr);
    return 1;
  }
  try {
    if (argc == 3) {
      const pdb::Database db = option == "--notes" ? notes() : option == "--prefs" ? preferences() : newsEdition();
      const std::vector<uint8_t> image = pdb::serialize(db);
      pdb::writeFileAtomic(argv[2], image);
      return 0;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir / "card0");
    std::ofstream(dir / "device.conf", std::ios::binary) << kDeviceConf;
    const auto write = [&](const char* file, const pdb::Database& db) {
      const std::vector<uint8_t> image = pdb::serialize(db);
      pdb::writeFileAtomic(dir / "card0" / file, image);
    };
    write("Tarvo.prc", application());
    write("Tarvo_News.pdb", newsModule());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarvo-make-example-handheld: %s\n", e.what());
    return 1;
  }
  return 0;
}
