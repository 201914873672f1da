// Reads the connected handheld through the Sync Manager, as a conduit
// would: the database list of every card and the records of one database.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "host/db_view.h"
#include "host/handheld_port.h"
#include "hotsync/host.h"

namespace tarvo::host {

// Connects the handheld in `dir` for as long as it lives and folds every
// change back into its files when it goes.
class ConnectedHandheld {
 public:
  ConnectedHandheld() = default;
  ~ConnectedHandheld();
  ConnectedHandheld(const ConnectedHandheld&) = delete;
  ConnectedHandheld& operator=(const ConnectedHandheld&) = delete;

  // False with a one-line *error when `dir` is not a handheld.
  bool connect(const std::filesystem::path& dir, std::string* error);
  // Waits for a handheld on `port`; the exit status waitForHandheld gives.
  int wait(const ChosenPort& port, std::string* error);
  // The live handheld that comes to `port` when `live` (refused while the
  // HotSync manager waits there: one port, one owner), else the folder
  // `dir`. kExitOk, or the exit status with a one-line *error.
  int open(bool live, const ChosenPort& port, const std::filesystem::path& dir, std::string* error);
  // Ends the HotSync now rather than when this goes.
  void disconnect(hotsync::SyncEnd end = hotsync::SyncEnd::Normal);

 private:
  bool connected_ = false;
};

// Every RAM database of every card, in card order and list order, read
// page by page until the handheld has no more. False with a one-line
// *error when a card or its list cannot be read: a handheld that holds
// databases never lists as empty.
bool listDatabases(std::vector<DbHeader>* out, std::string* error);

// Opens the database `name` (Windows-1252) on the first card that has it,
// and no other, and reads its header and entries. False with *error when
// there is none or it cannot be opened.
bool readDatabase(const std::string& name, DbHeader* header, std::vector<DbEntry>* entries, std::string* error);

}  // namespace tarvo::host
