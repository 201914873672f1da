// What the command tests run against: a private XDG world, a simulated
// handheld built from real database files, an engine set up on it, and the
// reference sync server as a child process with its request log.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/tarvo_conduit.h"
#include "files.h"
#include "pdb/pdb.h"
#include "server_process.h"
#include "ui/progress/conduit_progress.h"
#include "xdg_world.h"

namespace cmdtest {

namespace fs = std::filesystem;

using SyncServer = syncserver_test::ServerProcess;
using syncserver_test::LoggedRequest;

pdb::Database RecordDb(const std::string& name, std::vector<std::string> records = {}, const char* type = "DATA");
using tarvo::test::ReadFile;
using tarvo::test::ReadLines;
using tarvo::test::WriteFile;

class CommandWorld {
 public:
  static constexpr const char* kUser = "Ana";

  CommandWorld();
  ~CommandWorld();
  CommandWorld(const CommandWorld&) = delete;
  CommandWorld& operator=(const CommandWorld&) = delete;

  // Before Connect.
  void AddDatabase(const pdb::Database& db, int card = 0);
  // Connects the handheld and sets the engine up as a HotSync does, with
  // discovery done. False when something failed (the test then stops).
  bool Connect();
  // Ends the engine and folds the handheld's changes into its files.
  void Disconnect();

  // The database of that name in the card's folder (after Disconnect);
  // nullptr when none.
  std::unique_ptr<pdb::Database> Database(const std::string& name, int card = 0) const;
  std::string HandheldLog() const;  // the handheld log's text
  std::vector<std::string> DesktopLog() const;
  fs::path InstallFolder() const;
  // Every file in the world's folders outside the handheld and the server's
  // folders: what a command may have written.
  std::vector<fs::path> WrittenFiles() const;

  tarvo::test::XdgWorld world{"tarvo-commands"};
  fs::path root = world.root();
  fs::path handheld = root / "handheld";
  std::unique_ptr<CTarvoConduit> engine;

 private:
  std::vector<std::vector<pdb::Database>> cards_;
  bool connected_ = false;
};

}  // namespace cmdtest
