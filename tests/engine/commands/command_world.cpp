#include "command_world.h"

#include <cstdlib>

#include "handheld/palm_sync.h"
#include "handheld_writer.h"
#include "hotsync/host.h"

namespace cmdtest {

pdb::Database RecordDb(const std::string& name, std::vector<std::string> records, const char* type) {
  pdb::Database db;
  db.name = name;
  db.type = pdb::fourCC(type);
  db.creator = pdb::fourCC("Tarv");
  db.version = 1;
  uint32_t id = 100;
  for (std::string& data : records) {
    db.records.push_back(pdb::Record{pdb::kRecDirty, id++, std::vector<uint8_t>(data.begin(), data.end())});
  }
  db.uniqueIdSeed = id;
  return db;
}

CommandWorld::CommandWorld() = default;

CommandWorld::~CommandWorld() {
  Disconnect();
  unsetenv("TARVO_OPENER");
}

void CommandWorld::AddDatabase(const pdb::Database& db, int card) {
  if (cards_.size() <= static_cast<std::size_t>(card)) cards_.resize(static_cast<std::size_t>(card) + 1);
  cards_[static_cast<std::size_t>(card)].push_back(db);
}

bool CommandWorld::Connect() {
  if (cards_.empty()) cards_.resize(1);
  tarvo::test::WriteDeviceConf(handheld, {kUser, 7, "4.1", ""});
  for (std::size_t card = 0; card < cards_.size(); ++card) {
    fs::create_directories(handheld / ("card" + std::to_string(card)));
    int n = 0;
    for (const pdb::Database& db : cards_[card]) {
      tarvo::test::WriteDatabase(handheld, db, static_cast<int>(card), "db" + std::to_string(n++) + ".pdb");
    }
  }
  std::string error;
  if (!hotsync::addUser(kUser, &error) || !hotsync::connectHandheld(handheld, &error)) return false;
  connected_ = true;
  hotsync::setHotSyncThread();
  g_pMobileDeviceSync = new CPalmSync();
  engine = std::make_unique<CTarvoConduit>();
  engine->m_installTarget = kUser;
  if (!engine->Initialize()) return false;
  engine->GetModules();
  return !engine->m_tempPath.empty();
}

void CommandWorld::Disconnect() {
  engine.reset();
  delete g_pMobileDeviceSync;
  g_pMobileDeviceSync = nullptr;
  if (connected_) hotsync::disconnectHandheld();
  connected_ = false;
}

std::unique_ptr<pdb::Database> CommandWorld::Database(const std::string& name, int card) const {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(handheld / ("card" + std::to_string(card)), ec)) {
    if (!entry.is_regular_file()) continue;
    try {
      pdb::LoadedDatabase loaded = pdb::readFile(entry.path());
      if (loaded.db.name == name) return std::make_unique<pdb::Database>(std::move(loaded.db));
    } catch (const pdb::FormatError&) {
    }
  }
  return nullptr;
}

std::string CommandWorld::HandheldLog() const { return ReadFile(handheld / "hotsync.log"); }

std::vector<std::string> CommandWorld::DesktopLog() const { return ReadLines(hotsync::userLogFile(kUser)); }

fs::path CommandWorld::InstallFolder() const { return hotsync::userInstallDir(kUser); }

std::vector<fs::path> CommandWorld::WrittenFiles() const {
  std::vector<fs::path> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& path = it->path();
    if (path == handheld || path == root / "server" || path == root / "config" || path == root / "data") {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file()) found.push_back(fs::relative(path, root));
  }
  return found;
}

}  // namespace cmdtest
