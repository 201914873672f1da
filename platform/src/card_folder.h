// The files of one memory card folder: which are databases, in which order,
// and what a new database's file is called.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace hotsync::detail {

// Database files (.pdb, .prc) of the card: first those the card's `order`
// file names, in its order, then the others in file-name order.
std::vector<std::string> listDatabaseFiles(const std::filesystem::path& cardDir);

// A file name for a database: its name in UTF-8, made safe for the file
// system, plus .prc or .pdb; a suffix keeps it clear of `taken`.
std::string databaseFileName(const std::string& dbName, bool resourceDb, const std::set<std::string>& taken);

// Removes temporary files a killed writer left behind.
void removeStaleTemporaries(const std::filesystem::path& cardDir);

}  // namespace hotsync::detail
