// Reads the connected handheld through the Sync Manager, as a conduit
// would: the database list of every card and the records of one database.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "host/db_view.h"

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
  // Waits for a handheld's network HotSync on `address` (see host/listen.h).
  bool listen(const std::string& address, std::string* error);
  // Ends the HotSync now rather than when this goes.
  void disconnect();

 private:
  bool connected_ = false;
};

// Every RAM database of every card, in card order and list order.
std::vector<DbHeader> listDatabases();

// Finds the database `name` (Windows-1252) on the first card that has it
// and reads its header and entries. False with *error when there is none
// or it cannot be opened.
bool readDatabase(const std::string& name, DbHeader* header, std::vector<DbEntry>* entries, std::string* error);

}  // namespace tarvo::host
